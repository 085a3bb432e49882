#!/usr/bin/env bash
# Qt 6 for Windows, cross-built here from Debian's own source package of Qt 6 base (the same
# version as the Linux build), with the MinGW-w64 posix-threads compilers of
# cmake/mingw-w64-x86_64.cmake, into a cache folder outside the tree:
#   ${TESSERA_QT_WIN_CACHE:-/var/cache/tessera/qt-win}/install   (qt-cmake, DLLs, plugins)
# Only what the programs use is built: Core, Gui, Widgets, Network, Test, the Windows platform
# plugin, the styles, the TLS backend and a few image formats. A second run finds the finished
# install (its stamp file) and does nothing.
#
# The source comes through apt: a deb-src entry is made by copying the machine's own Debian
# entries with "deb" turned into "deb-src", so no archive is named here.
#
# Environment: TESSERA_QT_WIN_CACHE (cache folder), TESSERA_QT_WIN_JOBS (parallel jobs, default
# the number of cores), TESSERA_QT_WIN_NICE (niceness of the build, default 10).
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)

cache=${TESSERA_QT_WIN_CACHE:-/var/cache/tessera/qt-win}
install=$cache/install
stamp=$install/.tessera-complete
jobs=${TESSERA_QT_WIN_JOBS:-$(nproc)}
niceness=${TESSERA_QT_WIN_NICE:-10}
# The host's Qt provides moc, rcc, uic and the CMake helpers the cross build runs.
host_cmake_dir=${TESSERA_QT_HOST_CMAKE_DIR:-/usr/lib/$(gcc -dumpmachine)/cmake}

if [ -f "$stamp" ]; then
    echo "qt-windows: Qt for Windows is ready in $install"
    exit 0
fi

for tool in x86_64-w64-mingw32-g++-posix cmake ninja apt-get dpkg-source; do
    command -v "$tool" >/dev/null || {
        echo "qt-windows: $tool is missing (scripts/dev.sh test installs it)" >&2
        exit 1
    }
done
[ -f "$host_cmake_dir/Qt6/Qt6Config.cmake" ] || {
    echo "qt-windows: the host's Qt 6 CMake files are missing in $host_cmake_dir" >&2
    exit 1
}

mkdir -p "$cache"

# ---- the source ----------------------------------------------------------------------------

src_list=/etc/apt/sources.list.d/tessera-deb-src.sources
deb_src_lines=/etc/apt/sources.list.d/tessera-deb-src.list

# The Debian archive's own entries, in either format, turned into source entries.
add_deb_src() {
    local found=0 f
    if [ -w /etc/apt/sources.list.d ]; then :; else
        echo "qt-windows: cannot add a deb-src entry without root" >&2
        return 1
    fi
    : >"$src_list.new"
    : >"$deb_src_lines.new"
    for f in /etc/apt/sources.list.d/*.sources; do
        [ -f "$f" ] && [ "$f" != "$src_list" ] || continue
        # Stanzas signed by the Debian archive key only (not third-party repositories).
        awk 'BEGIN { RS = ""; ORS = "\n\n" }
             /debian-archive-keyring/ && /(^|\n)Types:[^\n]*deb/ {
                 sub(/Types:[^\n]*/, "Types: deb-src"); print }' "$f" >>"$src_list.new"
    done
    for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
        [ -f "$f" ] && [ "$f" != "$deb_src_lines" ] || continue
        grep -E '^deb[[:space:]].*/debian/?[[:space:]]' "$f" | sed 's/^deb[[:space:]]/deb-src /' \
            >>"$deb_src_lines.new" || true
    done
    [ -s "$src_list.new" ] && found=1 && mv "$src_list.new" "$src_list" || rm -f "$src_list.new"
    [ -s "$deb_src_lines.new" ] && found=1 && mv "$deb_src_lines.new" "$deb_src_lines" \
        || rm -f "$deb_src_lines.new"
    [ $found -eq 1 ] || {
        echo "qt-windows: no Debian apt entry found to copy as deb-src" >&2
        return 1
    }
    apt-get update -qq
}

fetch_source() {
    local dir
    dir=$(find "$cache" -maxdepth 1 -type d -name 'qt6-base-*' | head -n1)
    if [ -n "$dir" ] && [ -f "$dir/CMakeLists.txt" ]; then
        echo "$dir"
        return
    fi
    if ! (cd "$cache" && apt-get source --download-only qt6-base >/dev/null 2>&1); then
        add_deb_src >&2
    fi
    (cd "$cache" && apt-get source qt6-base >&2)
    find "$cache" -maxdepth 1 -type d -name 'qt6-base-*' | head -n1
}

start=$SECONDS
src=$(fetch_source)
[ -n "$src" ] || { echo "qt-windows: apt-get source qt6-base brought nothing" >&2; exit 1; }
echo "qt-windows: source in $src ($((SECONDS - start)) s)"

# ---- configure and build -------------------------------------------------------------------

build=$cache/build
# The project's toolchain file, copied beside the build: the Qt build and its qt-cmake then do
# not depend on where this checkout lies (copied only when it changed, so a rerun reconfigures
# nothing).
toolchain=$cache/mingw-w64-x86_64.cmake
cmp -s "$repo/cmake/mingw-w64-x86_64.cmake" "$toolchain" ||
    cp "$repo/cmake/mingw-w64-x86_64.cmake" "$toolchain"
# The build links Qt's DLLs against the shared compiler runtime (libstdc++, libgcc_s_seh,
# libwinpthread), shipped beside them; one runtime for Qt and the programs built with it.
options=(
    -G Ninja -S "$src" -B "$build"
    -DCMAKE_TOOLCHAIN_FILE="$toolchain"
    -DTESSERA_MINGW_STATIC_RUNTIME=OFF
    -DCMAKE_BUILD_TYPE=Release
    -DCMAKE_INSTALL_PREFIX="$install"
    -DBUILD_SHARED_LIBS=ON
    -DQT_HOST_PATH=/usr
    -DQT_HOST_PATH_CMAKE_DIR="$host_cmake_dir"
    -DQT_BUILD_EXAMPLES=OFF
    -DQT_BUILD_TESTS=OFF
    -DQT_BUILD_BENCHMARKS=OFF
    -DFEATURE_sql=OFF
    -DFEATURE_dbus=OFF
    -DFEATURE_printsupport=OFF
    -DFEATURE_concurrent=OFF
    -DFEATURE_xml=OFF
    -DFEATURE_openssl=OFF
    -DFEATURE_schannel=ON
    -DFEATURE_vulkan=OFF
    # Not used by the programs: JPEG images, TUIO touch input. Each is a few dozen build steps.
    # (Direct2D stays on: Qt Gui builds its DirectWrite font database only with it, and the
    # Windows platform plugin of 6.4.2 links against that database.)
    -DFEATURE_direct2d=ON
    -DFEATURE_jpeg=OFF
    -DFEATURE_tuiotouch=OFF
    # Debian's source leaves out the tablet header (wintab.h).
    -DFEATURE_tabletevent=OFF
    # OpenGL stays on (dynamic): the Windows platform plugin does not compile without it.
)
nice -n "$niceness" cmake "${options[@]}"
nice -n "$niceness" cmake --build "$build" --parallel "$jobs"
rm -rf "$install"
cmake --install "$build" >/dev/null
touch "$stamp"
echo "qt-windows: built and installed in $install ($((SECONDS - start)) s)"
