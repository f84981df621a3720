#!/usr/bin/env bash
# Builds Qt 6 for Windows (64-bit, MinGW-w64 posix threads, shared libraries) from Debian's own
# qtbase source, the same version as the build machine's Qt, whose tools (moc, rcc, uic) the
# cross-build uses. Only what the window needs: Core, Gui, Widgets, Network (the single-instance
# socket), Test (the GUI tests), the windows and offscreen platform plugins.
#
#   tools/build-qt-windows.sh           builds and installs into the cache, unless it is there
#   tools/build-qt-windows.sh --prefix  prints where the cached Qt is (or would be), builds nothing
#   tools/build-qt-windows.sh --configure-only  fetches, unpacks and configures, builds nothing
#
# The cache is outside the work tree, keyed by Qt version and toolchain:
#   ${VX_QT_CACHE:-~/.cache/velantrix-update}/qt-<version>-<toolchain>
# A finished install holds the file .complete; anything else there is a build that stopped and is
# started again. Nothing is downloaded but Debian's source package, through apt, from the archive
# and suites this machine's own apt lists name; the machine's apt configuration is not changed.
set -euo pipefail

host_qt_version() { dpkg-query -W -f='${Version}' qt6-base-dev 2>/dev/null; }
upstream_of() { local v=${1#*:}; v=${v%%-*}; echo "${v%%+*}"; }
toolchain_id() {
    local gcc_version
    gcc_version=$(x86_64-w64-mingw32-g++-posix -dumpversion 2>/dev/null || echo unknown)
    gcc_version=${gcc_version%%[!0-9]*}
    echo "mingw64-posix-gcc${gcc_version:-unknown}"
}

cache_root=${VX_QT_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/velantrix-update}
host_version=$(host_qt_version || true)
prefix="$cache_root/qt-$(upstream_of "${host_version:-unknown}")-$(toolchain_id)"

if [ "${1:-}" = "--prefix" ]; then
    echo "$prefix"
    exit 0
fi
if [ -f "$prefix/.complete" ]; then
    echo "Qt for Windows: $prefix (cached)"
    exit 0
fi
if [ -z "$host_version" ]; then
    echo "build-qt-windows: qt6-base-dev is not installed; the cross-build needs the host's Qt" >&2
    exit 1
fi
for tool in x86_64-w64-mingw32-g++-posix cmake ninja dpkg-source apt-get; do
    command -v "$tool" >/dev/null || {
        echo "build-qt-windows: $tool is missing (./dev.sh windows installs what is needed)" >&2
        exit 1
    }
done

work="$cache_root/work-$(upstream_of "$host_version")-$(toolchain_id)"
mkdir -p "$work"
started=$SECONDS
say() { echo "[build-qt-windows $(((SECONDS - started) / 60))m$(((SECONDS - started) % 60))s] $*"; }

# --- Debian's source, through a private apt configuration -------------------------------------
# deb-src entries for exactly the archives and suites of the machine's deb entries, in a sources
# folder of our own; lists and the package cache go to our own folders too.
fetch_source() {
    local apt="$work/apt"
    rm -rf "$apt"
    mkdir -p "$apt/sources.list.d" "$apt/lists/partial" "$apt/archives/partial"
    : >"$apt/sources.list"
    if [ -f /etc/apt/sources.list ]; then
        sed -n -E 's/^[[:space:]]*deb[[:space:]]+/deb-src /p' /etc/apt/sources.list \
            >>"$apt/sources.list"
    fi
    local file
    for file in /etc/apt/sources.list.d/*.list; do
        [ -f "$file" ] || continue
        sed -n -E 's/^[[:space:]]*deb[[:space:]]+/deb-src /p' "$file" \
            >>"$apt/sources.list.d/$(basename "$file")"
    done
    for file in /etc/apt/sources.list.d/*.sources; do
        [ -f "$file" ] || continue
        # deb822 stanzas: a stanza of Types "deb" becomes one of Types "deb-src".
        awk 'BEGIN { RS = ""; ORS = "\n\n" }
             /(^|\n)Types:[^\n]*(^|[ \t])deb([ \t]|\n|$)/ {
                 sub(/(^|\n)Types:[^\n]*/, "\nTypes: deb-src"); sub(/^\n/, ""); print }' \
            "$file" >"$apt/sources.list.d/$(basename "$file")"
    done
    local options=(
        -o "Dir::Etc::SourceList=$apt/sources.list"
        -o "Dir::Etc::SourceParts=$apt/sources.list.d"
        -o "Dir::State::Lists=$apt/lists"
        -o "Dir::Cache::Archives=$apt/archives"
        -o "Dir::Cache::pkgcache=$apt/pkgcache.bin"
        -o "Dir::Cache::srcpkgcache=$apt/srcpkgcache.bin"
        -o "APT::Sandbox::User=root"
    )
    say "reading the deb-src lists of this machine's archives"
    apt-get "${options[@]}" update -qq
    local source_version
    source_version=$(apt-cache "${options[@]}" showsrc qt6-base 2>/dev/null |
        sed -n 's/^Version: //p' | sort -V | tail -1)
    if [ "$source_version" != "$host_version" ]; then
        echo "build-qt-windows: Debian's qt6-base source is ${source_version:-not found}, the" \
            "host's Qt (qt6-base-dev) is $host_version; a cross-build needs both the same." \
            "Upgrade or downgrade qt6-base-dev to the source's version first." >&2
        exit 1
    fi
    say "downloading Debian's qt6-base $source_version source"
    mkdir -p "$work/source"
    (cd "$work/source" && apt-get "${options[@]}" source --download-only -qq "qt6-base=$source_version")
}

unpack_source() {
    local dsc
    dsc=$(ls "$work"/source/qt6-base_*.dsc | head -1)
    rm -rf "$work/qtbase"
    say "unpacking $(basename "$dsc") with Debian's patches"
    dpkg-source --no-check -x "$dsc" "$work/qtbase" >/dev/null
}

if ! ls "$work"/source/qt6-base_*.dsc >/dev/null 2>&1; then
    fetch_source
fi
if [ ! -f "$work/qtbase/.unpacked" ]; then
    unpack_source
    touch "$work/qtbase/.unpacked"
fi

# --- Configure and build -------------------------------------------------------------------------
toolchain="$work/toolchain.cmake"
cat >"$toolchain" <<'EOF'
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
EOF

# Everything the window does not use is off. Debian's source has no src/3rdparty/wintab, which
# tablet events need. OpenGL stays on: the windows platform plugin of this version does not build
# without it. FreeType (Qt's bundled copy) is on because the offscreen platform plugin, on which
# the GUI tests run, is built only with it. DirectWrite 3 is off: with Direct2D off, QtGui leaves
# out the DirectWrite font database that the windows plugin would then still link against.
features=(
    -DFEATURE_sql=OFF -DFEATURE_dbus=OFF -DFEATURE_printsupport=OFF -DFEATURE_concurrent=OFF
    -DFEATURE_xml=OFF -DFEATURE_tabletevent=OFF -DFEATURE_vulkan=OFF -DFEATURE_direct2d=OFF
    -DFEATURE_directwrite3=OFF
    -DFEATURE_ssl=OFF -DFEATURE_openssl=OFF -DFEATURE_schannel=OFF -DFEATURE_sql_sqlite=OFF
    -DFEATURE_jpeg=OFF -DFEATURE_gif=OFF -DFEATURE_ico=OFF -DFEATURE_networkproxy=ON
    -DFEATURE_opengl=ON -DINPUT_opengl=desktop -DFEATURE_freetype=ON -DFEATURE_system_freetype=OFF
    -DFEATURE_fontconfig=OFF
    -DFEATURE_zstd=OFF -DFEATURE_brotli=OFF -DFEATURE_system_zlib=OFF -DFEATURE_system_pcre2=OFF
    -DFEATURE_system_harfbuzz=OFF -DFEATURE_system_png=OFF -DFEATURE_system_doubleconversion=OFF
    -DFEATURE_glib=OFF -DFEATURE_icu=OFF -DFEATURE_testlib_selfcover=OFF
)
build="$work/build"
configure_options=(
    -DCMAKE_TOOLCHAIN_FILE="$toolchain"
    -DCMAKE_BUILD_TYPE=Release -DBUILD_SHARED_LIBS=ON
    -DCMAKE_INSTALL_PREFIX="$prefix"
    -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake
    -DQT_BUILD_TESTS=OFF -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_BENCHMARKS=OFF
    -DQT_GENERATE_SBOM=OFF -DQT_FEATURE_developer_build=OFF
    "${features[@]}"
)
# A build folder configured with other options is configured again in place: ninja then rebuilds
# only what the changed options reach, not all of Qt.
options_file="$build/velantrix-configure-options"
if [ ! -f "$build/build.ninja" ] || [ "$(cat "$options_file" 2>/dev/null)" != "${configure_options[*]}" ]; then
    if [ -f "$build/build.ninja" ]; then
        say "configuring qtbase again with changed options (the build goes on from what is built)"
    else
        rm -rf "$build"
        say "configuring qtbase for x86_64-w64-mingw32 (host tools from /usr; about a minute)"
    fi
    cmake -S "$work/qtbase" -B "$build" -G Ninja "${configure_options[@]}" \
        >"$work/configure.log" 2>&1 || {
        tail -40 "$work/configure.log" >&2
        echo "build-qt-windows: configuring failed; the whole log is $work/configure.log" >&2
        exit 1
    }
    echo "${configure_options[*]}" >"$options_file"
    say "configured (log: $work/configure.log)"
fi

if [ "${1:-}" = "--configure-only" ]; then
    say "configured only, as asked; the build folder is $build"
    exit 0
fi

# Ninja prints [done/total] for every step; one line in every 25, with the time so far, is enough
# to show progress. Compiler errors and the failed steps are shown as they come.
say "building (about 1100 steps; the first build takes 30 to 80 minutes on two cores)"
jobs=${VX_QT_JOBS:-$(nproc)}
progress() {
    local line done total
    while IFS= read -r line; do
        if [[ $line =~ ^\[([0-9]+)/([0-9]+)\] ]]; then
            done=${BASH_REMATCH[1]} total=${BASH_REMATCH[2]}
            if [ $((done % 25)) -eq 0 ] || [ "$done" -eq "$total" ]; then
                say "step $done of $total"
            fi
        elif [[ $line == FAILED:* || $line == *": error: "* || $line == *"error: ld returned"* ]]; then
            echo "$line"
        fi
    done
}
set +e
cmake --build "$build" --parallel "$jobs" 2>&1 | tee "$work/build.log" | progress
status=${PIPESTATUS[0]}
set -e
if [ "$status" -ne 0 ]; then
    echo "build-qt-windows: the build failed; the whole log is $work/build.log. Run the script" \
        "again to go on from where it stopped." >&2
    exit 1
fi
say "installing into $prefix"
cmake --install "$build" >"$work/install.log"
# Qt's licences go with the DLLs that the zip carries.
mkdir -p "$prefix/licenses"
cp "$work/qtbase/LICENSES/"* "$prefix/licenses/" 2>/dev/null || true
cp "$work/qtbase/debian/copyright" "$prefix/licenses/debian-copyright" 2>/dev/null || true
date -u +%FT%TZ >"$prefix/.complete"
say "done: Qt for Windows in $prefix ($(((SECONDS - started) / 60)) min in all)"
