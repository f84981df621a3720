#!/usr/bin/env bash
# One entry point for developers and CI:
#   ./dev.sh run   installs what is missing, builds and starts Velantrix Update
#   ./dev.sh test  installs what is missing, builds and runs the whole test suite
#   ./dev.sh demo  the same as run, with an emulated probe attached (no hardware needed)
#   ./dev.sh windows  cross-builds the Windows programs (build-windows/), runs their tests under
#                  Wine and packs the zip; builds Qt for Windows first when it is not cached
#                  (--cached-qt-only: without the window then)
# All are idempotent: a second run installs nothing and rebuilds only what changed.
# They build with the CMake preset `dev` (in build/); `test` uses `ci` (build-ci/, warnings are
# errors) when CI is set, `windows` its own. The presets are in CMakePresets.json.
set -euo pipefail
cd "$(dirname "$0")"

PACKAGES=(
    cmake make g++ pkg-config python3
    qt6-base-dev libusb-1.0-0-dev libudev-dev fonts-dejavu-core
    libgtest-dev libgmock-dev libbenchmark-dev
    xvfb xauth umockdev libumockdev-dev
    desktop-file-utils appstream dpkg-dev file xdotool imagemagick
    clang libclang-rt-14-dev clang-format clang-tidy cppcheck
)

install_missing() {
    local missing=() pkg
    for pkg in "${PACKAGES[@]}"; do
        dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed" ||
            missing+=("$pkg")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    local sudo=""
    [ "$(id -u)" -eq 0 ] || sudo="sudo"
    echo "Installing: ${missing[*]}"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

# configure PRESET BUILD_DIR: the first time, and every time in CI.
configure() {
    if [ ! -f "$2/CMakeCache.txt" ] || [ -n "${CI:-}" ]; then
        cmake --preset "$1"
    fi
}

build() { cmake --build --preset "$1" -j"$(nproc)"; }

case "${1:-}" in
run)
    install_missing
    configure dev build
    build dev
    shift
    exec build/velantrix-update "$@"
    ;;
demo)
    install_missing
    configure dev build
    build dev
    shift
    exec build/velantrix-probe-emulator --probe "${1:-heron}" -- build/velantrix-update
    ;;
test)
    preset=dev build_dir=build
    [ -n "${CI:-}" ] && preset=ci build_dir=build-ci
    install_missing
    configure "$preset" "$build_dir"
    build "$preset"
    ctest --preset "$preset" --no-tests=error -j"$(nproc)"
    ;;
windows)
    # Qt for Windows is built once from Debian's source (qt6-base, the host Qt's version) into a
    # cache outside the tree, when it is not there yet; with --cached-qt-only it is not built,
    # and without it the window and its tests are left out.
    PACKAGES=(cmake make ninja-build g++ dpkg-dev qt6-base-dev g++-mingw-w64-x86-64-posix
        mingw-w64 wine64 googletest xvfb xauth xdotool imagemagick librsvg2-bin
        fonts-dejavu-core tesseract-ocr)
    install_missing
    qt=$(tools/build-qt-windows.sh --prefix)
    if [ -f "$qt/.complete" ]; then
        echo "Qt for Windows: $qt"
    elif [ "${2:-}" = --cached-qt-only ]; then
        echo "No Qt for Windows in $qt: building the command-line tool and its tests only;" \
            "'./dev.sh windows' builds Qt once (about an hour on two cores) and the window with it"
    else
        nice -n 10 tools/build-qt-windows.sh
    fi
    options=()
    [ -n "${CI:-}" ] && options+=(-DVX_WERROR=ON)
    cmake --preset windows "${options[@]}"
    cmake --build --preset windows -j"$(nproc)"
    ctest --preset windows -j"$(nproc)"
    cpack --preset windows
    ;;
*)
    echo "usage: $0 run|test|demo [probe]|windows [--cached-qt-only]" >&2
    exit 2
    ;;
esac
