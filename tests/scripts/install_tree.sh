#!/usr/bin/env bash
# Installs the build into a scratch root as the package would (prefix /usr) and checks what a
# desktop needs: every file in place, each one accepted by its validator, and all of them
# naming the same application id, program, icon, version and probe ids.
# Usage: install_tree.sh <build dir> <source dir>. Exit 77 when a validator is not installed.
set -euo pipefail
build=$1

stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
# DESTDIR keeps even an absolute rules folder (-DVX_UDEV_RULES_DIR=/etc/udev/rules.d) inside
# the scratch root instead of writing to the real /etc.
DESTDIR=$stage cmake --install "$build" --prefix /usr >/dev/null

failures=0
skipped=()
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

id=io.velantrix.Update
desktop=$stage/usr/share/applications/$id.desktop
metainfo=$stage/usr/share/metainfo/$id.metainfo.xml
for file in "$stage/usr/bin/velantrix-update" "$desktop" "$metainfo" \
    "$stage/usr/share/icons/hicolor/scalable/apps/$id.svg"; do
    [ -f "$file" ] || fail "not installed: ${file#"$stage"}"
done
mapfile -t rules < <(find "$stage" -name '*.rules')
[ ${#rules[@]} -eq 1 ] || fail "expected one udev rule file, found ${#rules[@]}"
rule=${rules[0]:-}
[ "$failures" -eq 0 ] || exit 1

if command -v desktop-file-validate >/dev/null; then
    # Hints are suggestions; warnings and errors are not clean.
    if ! out=$(desktop-file-validate "$desktop" 2>&1) || grep -v ': hint: ' <<<"$out" | grep -q .; then
        fail "desktop-file-validate: $out"
    fi
else
    skipped+=("desktop-file-validate (package desktop-file-utils)")
fi

if command -v appstreamcli >/dev/null; then
    # Infos count too: an unknown tag is usually a misspelt one.
    if ! out=$(appstreamcli validate --no-net "$metainfo" 2>&1) || grep -qE '^[EWI]: ' <<<"$out"; then
        fail "appstreamcli validate: $out"
    fi
else
    skipped+=("appstreamcli (package appstream)")
fi

# udevadm verify exists from systemd 253 on; the parse below runs everywhere.
if command -v udevadm >/dev/null && udevadm verify --help >/dev/null 2>&1; then
    out=$(udevadm verify --resolve-names=never "$rule" 2>&1) || fail "udevadm verify: $out"
fi

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:[A-Z]*=//p' "$build/CMakeCache.txt")
python3 - "$stage" "$id" "$rule" "$version" <<'EOF' || failures=$((failures + 1))
import configparser, os, re, sys
import xml.etree.ElementTree as ET

stage, app_id, rule, version = sys.argv[1:5]
usr = os.path.join(stage, "usr")
errors = []

# Supported probes: vendor 1a2b, product ids 3, 4, 5, 16 and 6, written in hex as udev and
# modaliases spell them (16 is 0010).
vendor = "1a2b"
products = {"0003", "0004", "0005", "0006", "0010"}

# --- udev rule: each line a comment, blank, or comma-separated KEY op "value" pairs. ---
known_keys = {
    "ACTION", "DEVPATH", "KERNEL", "KERNELS", "NAME", "SYMLINK", "SUBSYSTEM", "SUBSYSTEMS",
    "DRIVER", "DRIVERS", "ATTR", "ATTRS", "SYSCTL", "ENV", "CONST", "TAG", "TAGS", "TEST",
    "PROGRAM", "RESULT", "OWNER", "GROUP", "MODE", "SECLABEL", "RUN", "IMPORT", "LABEL",
    "GOTO", "OPTIONS",
}
pair = re.compile(r'\s*([A-Z]+)(\{[^}]*\})?\s*(==|!=|\+=|-=|:=|=)\s*"([^"]*)"\s*(,|$)')
name = os.path.basename(rule)
if not re.match(r"\d\d-.*\.rules$", name) or int(name[:2]) >= 73:
    errors.append(f"{name}: uaccess rules must sort before 73-seat-late.rules")
tagged = set()
for number, line in enumerate(open(rule, encoding="utf-8"), 1):
    line = line.rstrip("\n")
    if not line.strip() or line.lstrip().startswith("#"):
        continue
    fields, pos = [], 0
    while pos < len(line):
        m = pair.match(line, pos)
        if not m:
            errors.append(f"{name}:{number}: cannot parse at column {pos + 1}: {line[pos:]}")
            break
        fields.append((m.group(1) + (m.group(2) or ""), m.group(3), m.group(4)))
        pos = m.end()
    for key, op, value in fields:
        if key.split("{")[0] not in known_keys:
            errors.append(f"{name}:{number}: unknown key {key}")
    matches = {(k, v) for k, op, v in fields if op == "=="}
    if ("TAG", "+=", "uaccess") in fields:
        # Tagging anything but the probes' device node would open other devices to the user.
        for needed in (("SUBSYSTEM", "usb"), ("ENV{DEVTYPE}", "usb_device"),
                       ("ATTR{idVendor}", vendor)):
            if needed not in matches:
                errors.append(f"{name}:{number}: uaccess without {needed[0]}==\"{needed[1]}\"")
        tagged |= {v for k, v in matches if k == "ATTR{idProduct}"}
if tagged != products:
    errors.append(f"{name}: tags product ids {sorted(tagged)}, expected {sorted(products)}")

# --- desktop entry: names the program and the icon that are installed. ---
entry = configparser.ConfigParser(interpolation=None)
entry.optionxform = str
entry.read(os.path.join(usr, "share/applications", app_id + ".desktop"), encoding="utf-8")
group = entry["Desktop Entry"]
program = group.get("Exec", "").split()[0] if group.get("Exec") else ""
if not os.access(os.path.join(usr, "bin", program), os.X_OK):
    errors.append(f"desktop entry: Exec names {program!r}, which is not installed")
icon = group.get("Icon", "")
if not os.path.isfile(os.path.join(usr, "share/icons/hicolor/scalable/apps", icon + ".svg")):
    errors.append(f"desktop entry: Icon {icon!r} is not installed")

# --- AppStream metadata: same id, launchable, program, version and probes. ---
component = ET.parse(os.path.join(usr, "share/metainfo", app_id + ".metainfo.xml")).getroot()
if component.findtext("id") != app_id:
    errors.append(f"metainfo: id {component.findtext('id')!r}, expected {app_id!r}")
if component.findtext("launchable[@type='desktop-id']") != app_id + ".desktop":
    errors.append("metainfo: launchable is not the installed desktop entry")
for binary in component.iterfind("provides/binary"):
    if not os.access(os.path.join(usr, "bin", binary.text), os.X_OK):
        errors.append(f"metainfo: provides binary {binary.text!r}, which is not installed")
release = component.find("releases/release")
if release is None or release.get("version") != version:
    errors.append(f"metainfo: newest release is not the project version {version}")
aliases = {m.text for m in component.iterfind("provides/modalias")}
expected = {f"usb:v{vendor.upper()}p{p}d*" for p in products}
if aliases != expected:
    errors.append(f"metainfo: modaliases {sorted(aliases)}, expected {sorted(expected)}")

# --- icon: well-formed, square SVG. ---
svg = ET.parse(os.path.join(usr, "share/icons/hicolor/scalable/apps", app_id + ".svg")).getroot()
if svg.tag != "{http://www.w3.org/2000/svg}svg":
    errors.append(f"icon: root element is {svg.tag}, not svg")
box = svg.get("viewBox", "").split()
if len(box) != 4 or box[2] != box[3]:
    errors.append(f"icon: viewBox {svg.get('viewBox')!r} is not square")

for error in errors:
    print("FAIL:", error)
sys.exit(1 if errors else 0)
EOF

[ "$failures" -eq 0 ] || exit 1
if [ ${#skipped[@]} -gt 0 ]; then
    echo "SKIPPED, not installed: ${skipped[*]}"
    exit 77
fi
echo "installed tree is complete and valid"
