#!/usr/bin/env python3
"""Fails when a source file includes a header of a layer above its own.

    tools/check-layers.py [SOURCE_DIR]

The program's layers, bottom to top: platform, link, loader, firmware, then ui (with app above it)
and cli beside it. The virtual probe (sim) sits on firmware, the emulator on sim. A platform
backend (platform/linux, platform/windows) is reached only through the platform seam; the
emulator, which plays the Linux kernel, may use the Linux backend's helpers. Tests, benchmarks and
fuzz targets may include anything.
"""
import pathlib
import re
import sys

BELOW = {
    "platform": [],
    "link": ["platform"],
    "loader": ["link"],
    "firmware": ["loader", "embedded"],
    "ui": ["firmware"],
    "app": ["ui"],
    "cli": ["firmware"],
    "sim": ["firmware"],
    "emulator": ["sim"],
}
BACKENDS = ("platform/linux/", "platform/windows/")
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.MULTILINE)


def reachable(layer):
    seen, todo = {layer}, [layer]
    while todo:
        for lower in BELOW.get(todo.pop(), []):
            if lower not in seen:
                seen.add(lower)
                todo.append(lower)
    return seen


def backend_of(path):
    return next((b for b in BACKENDS if path.startswith(b)), None)


def problems(root):
    for layer in BELOW:
        allowed = reachable(layer)
        for file in sorted((root / layer).rglob("*")):
            if file.suffix not in (".h", ".cpp") or "tests" in file.parts:
                continue
            relative = file.relative_to(root).as_posix()
            for included in INCLUDE.findall(file.read_text(errors="replace")):
                target = included.split("/")[0]
                if "/" in included and target not in allowed:
                    yield f"{relative}: includes {included}, a layer above {layer}"
                backend = backend_of(included)
                if backend and backend_of(relative) != backend and layer != "emulator":
                    yield f"{relative}: includes {included}, a platform backend"


def main():
    root = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else ".").resolve()
    found = list(problems(root))
    for line in found:
        print(line)
    return 1 if found else 0


if __name__ == "__main__":
    sys.exit(main())
