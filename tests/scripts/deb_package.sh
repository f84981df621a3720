#!/usr/bin/env bash
# Builds the Debian package, installs it with dpkg, starts the installed program and removes
# the package again. A crash, a missing library or a broken package fails; a program still
# running when the time-out stops it has started fine (it runs until its window is closed).
# Usage: deb_package.sh <build dir> <source dir>. Exit 77 when it cannot run here (not root,
# tools missing, the package already installed by someone else, dpkg busy).
set -euo pipefail
build=$1
package=velantrix-update

skip() {
    echo "SKIPPED: $*"
    exit 77
}
[ "$(id -u)" -eq 0 ] || skip "installing a package needs root"
for tool in dpkg dpkg-deb dpkg-shlibdeps file cpack; do
    command -v "$tool" >/dev/null || skip "$tool is not installed (packages dpkg-dev, file)"
done
installed() {
    local state
    state=$(dpkg-query -W -f='${db:Status-Status}' "$package" 2>/dev/null) || return 1
    [ -n "$state" ] && [ "$state" != not-installed ] && [ "$state" != config-files ]
}
# Removing an installation this test did not make would destroy someone's setup.
installed && skip "$package is already installed on this machine; leaving it alone"

work=$(mktemp -d)
mine=false
cleanup() {
    if $mine; then dpkg --purge "$package" >/dev/null 2>&1 || echo "could not remove $package"; fi
    rm -rf "$work"
}
trap cleanup EXIT

(cd "$build" && cpack -G DEB -B "$work/out") >"$work/cpack.log" 2>&1 || {
    cat "$work/cpack.log"
    echo "FAIL: cpack -G DEB"
    exit 1
}
deb=$(echo "$work"/out/${package}_*.deb)
[ -f "$deb" ] || { echo "FAIL: no ${package}_*.deb produced"; exit 1; }

# Without the library dependencies the package would install on a machine without Qt.
depends=$(dpkg-deb -f "$deb" Depends)
grep -q 'libqt6widgets6' <<<"$depends" || { echo "FAIL: Depends lacks Qt: '$depends'"; exit 1; }
for script in postinst postrm; do
    dpkg-deb -I "$deb" "$script" >/dev/null || { echo "FAIL: package has no $script"; exit 1; }
done

mine=true
if ! dpkg -i "$deb" >"$work/dpkg.log" 2>&1; then
    grep -qE 'frontend lock|database is locked' "$work/dpkg.log" && skip "dpkg is busy: $(tail -1 "$work/dpkg.log")"
    cat "$work/dpkg.log"
    echo "FAIL: dpkg -i"
    exit 1
fi

for file in /usr/bin/velantrix-update /usr/lib/udev/rules.d/70-velantrix-update.rules \
    /usr/share/applications/io.velantrix.Update.desktop \
    /usr/share/icons/hicolor/scalable/apps/io.velantrix.Update.svg \
    /usr/share/metainfo/io.velantrix.Update.metainfo.xml; do
    [ -f "$file" ] || { echo "FAIL: package did not install $file"; exit 1; }
done
if ldd /usr/bin/velantrix-update | grep 'not found'; then
    echo "FAIL: the installed program misses libraries"
    exit 1
fi

# A private runtime folder, so the program never meets another running copy and defers to it.
runtime=$(mktemp -d -p "$work")
chmod 700 "$runtime"
status=0
XDG_RUNTIME_DIR=$runtime QT_QPA_PLATFORM=offscreen timeout 5 /usr/bin/velantrix-update \
    >"$work/run.log" 2>&1 || status=$?
if [ "$status" -ne 124 ]; then
    cat "$work/run.log"
    echo "FAIL: /usr/bin/velantrix-update ended with status $status instead of running"
    exit 1
fi

dpkg --purge "$package" >"$work/dpkg.log" 2>&1 || { cat "$work/dpkg.log"; echo "FAIL: dpkg --purge"; exit 1; }
mine=false
for file in /usr/bin/velantrix-update /usr/lib/udev/rules.d/70-velantrix-update.rules; do
    [ ! -e "$file" ] || { echo "FAIL: $file left behind by dpkg --purge"; exit 1; }
done
! installed || { echo "FAIL: dpkg still lists $package"; exit 1; }
echo "package builds, installs, starts and uninstalls"
