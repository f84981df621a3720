#!/usr/bin/env bash
# Installs the build into a scratch root as the package does (prefix /usr) and checks what a
# desktop needs: every file in place, each accepted by its validator, and the desktop entry and
# the AppStream metadata naming the program, icon, id and version that are installed. (That the
# udev rule and the metadata name exactly the probes of the probe model table, a core test says.)
# Usage: install_tree.sh <build dir> <source dir>. Exit 77 when a validator is not installed.
set -euo pipefail
build=$1
for tool in desktop-file-validate appstreamcli python3; do
    command -v "$tool" >/dev/null || { echo "SKIPPED: $tool is not installed"; exit 77; }
done
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
# DESTDIR keeps even an absolute rules folder (/etc/udev/rules.d) inside the scratch root.
DESTDIR=$stage cmake --install "$build" --prefix /usr >/dev/null
usr=$stage/usr
app=io.velantrix.Update
desktop=$usr/share/applications/$app.desktop
meta=$usr/share/metainfo/$app.metainfo.xml
fail() { echo "FAIL: $*" && exit 1; }
for file in "$usr/bin/velantrix-update" "$desktop" "$meta" "$usr/share/icons/hicolor/scalable/apps/$app.svg"; do
    [ -f "$file" ] || fail "not installed: $file"
done
# One rule file, sorting before 73-seat-late.rules, which turns its uaccess tag into access.
rule=$(find "$stage" -name '*.rules')
[[ $(wc -l <<<"$rule") == 1 && $(basename "$rule") < 73 ]] || fail "udev rule files: $rule"
! udevadm verify --help >/dev/null 2>&1 || udevadm verify --resolve-names=never "$rule" >/dev/null ||
    fail "udevadm verify $rule"
# Hints are suggestions; warnings and errors are not clean, nor infos: an unknown tag is usually
# a misspelt one.
out=$(desktop-file-validate "$desktop" 2>&1) && ! grep -v ': hint: ' <<<"$out" | grep -q . ||
    fail "desktop-file-validate: $out"
out=$(appstreamcli validate --no-net "$meta" 2>&1) && ! grep -qE '^[EWI]: ' <<<"$out" ||
    fail "appstreamcli validate: $out"
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:[A-Z]*=//p' "$build/CMakeCache.txt")
python3 - "$usr" "$app" "$version" <<'EOF'
import configparser, os, sys, xml.etree.ElementTree as ET
usr, app, version = sys.argv[1:4]
entry = configparser.ConfigParser(interpolation=None)
entry.read(f"{usr}/share/applications/{app}.desktop", encoding="utf-8")
desktop = entry["Desktop Entry"]
meta = ET.parse(f"{usr}/share/metainfo/{app}.metainfo.xml").getroot()
box = ET.parse(f"{usr}/share/icons/hicolor/scalable/apps/{app}.svg").getroot().get("viewBox", "").split()
checks = {
    "the desktop entry runs the installed program": desktop["Exec"].split()[0] == "velantrix-update",
    "the desktop entry names the installed icon": desktop["Icon"] == app,
    "the metadata's id and launchable are the application's": (meta.findtext("id"), meta.findtext("launchable")) == (app, app + ".desktop"),
    "the metadata provides installed programs": all(os.access(f"{usr}/bin/{b.text}", os.X_OK) for b in meta.iterfind("provides/binary")),
    "the newest release is the project's version": meta.find("releases/release").get("version") == version,
    "the icon is square": len(box) == 4 and box[2] == box[3],
}
for name in (name for name, held in checks.items() if not held):
    print("FAIL:", name)
sys.exit(not all(checks.values()))
EOF
echo "installed tree is complete and valid"
