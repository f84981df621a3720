#!/usr/bin/env bash
# Builds the Debian package, installs it with dpkg, starts the installed program and purges the
# package again. A missing library dependency or file, a broken maintainer script or a program
# that does not keep running fails. Usage: deb_package.sh <build dir> <source dir>. Exit 77 where
# it cannot run: not root, tools missing, the package installed by someone else, dpkg busy.
set -euo pipefail
package=velantrix-update
skip() { echo "SKIPPED: $*" && exit 77; }
fail() { echo "FAIL: $*" && exit 1; }
[ "$(id -u)" -eq 0 ] || skip "installing a package needs root"
for tool in dpkg-deb dpkg-shlibdeps file cpack; do
    command -v "$tool" >/dev/null || skip "$tool is not installed (packages dpkg-dev, file)"
done
installed() { [ "$(dpkg-query -W -f='${db:Status-Status}' "$package" 2>/dev/null)" = installed ]; }
# Removing an installation this test did not make would destroy someone's setup.
! installed || skip "$package is already installed on this machine; leaving it alone"
work=$(mktemp -d)
trap 'if installed; then dpkg --purge "$package" >/dev/null 2>&1 || true; fi; rm -rf "$work"' EXIT
(cd "$1" && cpack -G DEB -B "$work") >"$work/log" 2>&1 || fail "cpack -G DEB: $(cat "$work/log")"
deb=$(echo "$work"/${package}_*.deb)
# Without its library dependencies the package would install on a machine without Qt.
dpkg-deb -f "$deb" Depends | grep -q libqt6widgets6 || fail "Depends lacks Qt"
dpkg-deb -I "$deb" postinst postrm >/dev/null || fail "maintainer scripts missing"
if ! dpkg -i "$deb" >"$work/log" 2>&1; then
    ! grep -qE 'frontend lock|database is locked' "$work/log" || skip "dpkg is busy"
    fail "dpkg -i: $(cat "$work/log")"
fi
# What the package holds is the installed tree, which install_tree.sh checks file by file.
! ldd /usr/bin/velantrix-update | grep 'not found' || fail "the program misses libraries"
# It runs until its window is closed: still running when the time-out stops it is a good start.
# A runtime folder of its own keeps it from meeting another running copy and deferring to it.
status=0
XDG_RUNTIME_DIR=$(mktemp -d -p "$work") QT_QPA_PLATFORM=offscreen timeout 5 \
    /usr/bin/velantrix-update >"$work/log" 2>&1 || status=$?
[ "$status" -eq 124 ] || fail "the installed program ended with status $status: $(cat "$work/log")"
dpkg --purge "$package" >"$work/log" 2>&1 || fail "dpkg --purge: $(cat "$work/log")"
[ ! -e /usr/bin/velantrix-update ] && ! installed || fail "the purge left $package behind"
echo "the package builds, installs, starts and is purged"
