#!/usr/bin/env bash
# The window for Windows, built here and proven under Wine:
#   1. Qt for Windows from its cache (scripts/qt-windows.sh builds it when the cache is missing);
#   2. tessera.exe, tessera-cli.exe and the Windows tests built with it into build-win-qt, and
#      the Linux virtual instrument (build);
#   3. the installer (packaging/windows/make-installer.sh), whose folder the tests run from;
#   4. a fresh Wine prefix on a virtual X display (Xvfb), COM5 mapped onto the pseudo-terminal
#      of a Linux tessera-sim;
#   5. the tests that need no port (frames, decoders, the digit control) and the main window's
#      test against COM5 (tests/win32/test_window_com.cpp) under Wine;
#   6. the installer under Wine: silent install, the installed tessera.exe's --version and its
#      window, an install over a running program, the uninstaller.
# Exits non-zero on any failure; prints each stage's wall time at the end.
#
# Options: --screenshots  keep the window's pictures in docs/ (windows-readings.png,
#                         windows-parameters.png);
#          --build-only   stages 1 and 2 (Qt for Windows and the Windows programs) only: what
#                         scripts/dev.sh test builds in the background while other stages run.
# Environment: TESSERA_QT_WIN_CACHE (see scripts/qt-windows.sh), TESSERA_LINUX_BUILD (default
# build), TESSERA_WIN_QT_BUILD (default build-win-qt).
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$PWD

linux_build=${TESSERA_LINUX_BUILD:-build}
win_build=${TESSERA_WIN_QT_BUILD:-build-win-qt}
qt=${TESSERA_QT_WIN_CACHE:-/var/cache/tessera/qt-win}/install
keep_screenshots=0
build_only=0
for option in "$@"; do
    case $option in
    --screenshots) keep_screenshots=1 ;;
    --build-only) build_only=1 ;;
    *) echo "usage: $0 [--screenshots] [--build-only]" >&2; exit 2 ;;
    esac
done
com=COM5
address=17
product=Tessera_RS-485

for tool in x86_64-w64-mingw32-g++-posix wine wineboot wineserver cmake ninja makensis Xvfb \
    xdotool; do
    command -v "$tool" >/dev/null || {
        echo "windows-gui-check: $tool is missing (scripts/dev.sh test installs it)" >&2
        exit 1
    }
done

work=$(mktemp -d)
export WINEPREFIX="$work/prefix" WINEDEBUG=-all
# No Mono or Gecko installer prompts while the prefix is made; none of this needs them.
export WINEDLLOVERRIDES="mscoree,mshtml="
unset WAYLAND_DISPLAY
sim_pid=""

stop_sim() {
    [ -n "$sim_pid" ] || return 0
    kill "$sim_pid" 2>/dev/null || true
    wait "$sim_pid" 2>/dev/null || true
    sim_pid=""
}

stages=()
cleanup() {
    stop_sim
    if [ -d "$WINEPREFIX" ]; then wineserver -k 2>/dev/null || true; fi
    if [ -s "$work/xvfb.pid" ]; then kill "$(cat "$work/xvfb.pid")" 2>/dev/null || true; fi
    rm -rf "$work"
    if [ ${#stages[@]} -gt 0 ]; then
        echo "== windows-gui-check stages (wall time)"
        printf '   %s\n' "${stages[@]}"
        printf '   %-25s %4d s\n' total "$SECONDS"
    fi
}
trap cleanup EXIT

stage() {
    local name=$1; shift
    local start=$SECONDS status=0
    echo "== $name"
    set +e
    (set -e; trap stop_sim EXIT; "$@")
    status=$?
    set -e
    local result=ok
    [ $status -eq 0 ] || result=FAILED
    stages+=("$(printf '%-22s %-6s %4d s' "$name" "$result" $((SECONDS - start)))")
    return $status
}

# A Windows path for a Unix one (Wine's drive Z: is the root).
winpath() { echo "Z:${1//\//\\}"; }

# ---- builds ---------------------------------------------------------------------------------

qt_windows() { scripts/qt-windows.sh; }

windows_build() {
    local launcher=()
    if command -v ccache >/dev/null; then
        launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
    fi
    # qt-cmake chain-loads the project's own toolchain file, with the shared runtime Qt uses.
    # The resources are packed by the host's rcc, which would use zstd; Qt for Windows is built
    # without it and unpacks only zlib.
    "$qt/bin/qt-cmake" -S . -B "$win_build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
        -DQT_CHAINLOAD_TOOLCHAIN_FILE="$repo/cmake/mingw-w64-x86_64.cmake" \
        -DTESSERA_MINGW_STATIC_RUNTIME=OFF -DBUILD_TESTING=ON -DTESSERA_WERROR=ON "${launcher[@]}" \
        -DCMAKE_AUTORCC_OPTIONS=--no-zstd >/dev/null
    cmake --build "$win_build" -j "$(nproc)" --target tessera tessera-cli test_window_com \
        test_frames test_codec test_protocol test_digit test_profile
}

linux_build() {
    [ -f "$linux_build/CMakeCache.txt" ] ||
        cmake -S . -B "$linux_build" -G Ninja -DTESSERA_WERROR=ON >/dev/null
    cmake --build "$linux_build" -j "$(nproc)" --target tessera-sim
}

installer() {
    packaging/windows/make-installer.sh "$win_build" "$qt" | tail -n 1 >"$work/installer"
    ls -l "$(cat "$work/installer")"
}

# ---- display, Wine prefix and the instrument behind COM5 ------------------------------------

start_display() {
    exec 5>"$work/display"
    Xvfb -displayfd 5 -screen 0 1280x1024x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
    local xvfb_pid=$!
    # Kept in a file: the stage runs in a subshell, the clean-up in the script.
    echo "$xvfb_pid" >"$work/xvfb.pid"
    local waited=0
    until [ -s "$work/display" ]; do
        kill -0 "$xvfb_pid" 2>/dev/null || { cat "$work/xvfb.log"; return 1; }
        [ $waited -lt 300 ] || { echo "Xvfb gave no display" >&2; return 1; }
        sleep 0.1
        waited=$((waited + 1))
    done
    exec 5>&-
    echo ":$(head -n 1 "$work/display")" >"$work/display-name"
}

make_prefix() {
    wineboot -i >"$work/wineboot.log" 2>&1 || { tail -n 20 "$work/wineboot.log"; return 1; }
    wine reg add 'HKLM\Software\Wine\Ports' /v "$com" /d "$work/line" /f >/dev/null
    # The port list is made when Wine starts: stop it so the next start sees COM5.
    wineserver -k || true
    wineserver -w
    wine --version
}

# Starts the instrument and maps COM5 onto its pseudo-terminal.
start_instrument() {
    stop_sim
    : >"$work/sim.out"
    "$linux_build/sim/tessera-sim" --address "$address" --frozen >"$work/sim.out" \
        2>>"$work/sim.log" &
    sim_pid=$!
    local waited=0
    until [ -s "$work/sim.out" ]; do
        kill -0 "$sim_pid" 2>/dev/null || { echo "tessera-sim ended at start" >&2; return 1; }
        [ $waited -lt 100 ] || { echo "tessera-sim printed no device" >&2; return 1; }
        sleep 0.1
        waited=$((waited + 1))
    done
    local pty
    pty=$(head -n 1 "$work/sim.out")
    ln -sfn "$pty" "$work/line"
    ln -sfn "$pty" "$WINEPREFIX/dosdevices/${com,,}"
}

# The Windows tests run from a folder laid out as an installation is (the installer's folder,
# with Qt Test beside it): Qt finds its DLLs and plugins beside the program, as it does there.
test_folder() {
    local folder=$work/tests
    if [ ! -d "$folder" ]; then
        cp -r "$win_build/deploy" "$folder"
        cp "$qt/bin/Qt6Test.dll" "$folder/"
        cp "$win_build"/tests/win32/*.exe "$folder/"
    fi
    echo "$folder"
}

# A test of the build, run from that folder; its report is written to <name>.txt in $work.
wine_test() {
    local name=$1 folder; shift
    folder=$(test_folder)
    (cd "$folder" && timeout 300 wine "./$name.exe" -o "$(winpath "$work/$name.txt"),txt" "$@" \
        >"$work/$name.out" 2>&1)
}

# ---- checks ---------------------------------------------------------------------------------

tests_without_port() {
    local failed=0 name
    for name in test_frames test_codec test_protocol test_digit test_profile; do
        if wine_test "$name"; then
            grep -E '^Totals:' "$work/$name.txt" | sed "s/^/$name: /"
        else
            cat "$work/$name.out" "$work/$name.txt"
            failed=1
        fi
    done
    return $failed
}

# With Qt's FreeType font engine: Wine's GDI reports font bearings so wide that a narrow line
# edit scrolls its text out of sight (the address, the pause, the parameter fields), which
# would leave those fields blank in the screenshots. Windows' own GDI does not.
window_against_com5() {
    local status=0
    start_instrument
    mkdir -p "$work/shots"
    TESSERA_WIN_PORT=$com TESSERA_WIN_ADDRESS=$address \
        TESSERA_WIN_SCREENSHOTS="$(winpath "$work/shots")" \
        wine_test test_window_com -platform windows:fontengine=freetype || status=$?
    cat "$work/test_window_com.txt"
    ls -l "$work/shots"
    if [ $keep_screenshots -eq 1 ]; then cp "$work/shots/"*.png docs/; fi
    return $status
}

installed_dir() { echo "$WINEPREFIX/drive_c/Program Files/$product"; }
start_menu_dir() { echo "$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/$product"; }

settings_for_installed() {
    local folder
    # The user's own Documents (Wine makes it a link to $HOME), not the Public one.
    folder=$(find "$WINEPREFIX/drive_c/users" -mindepth 2 -maxdepth 2 -iname Documents -xtype d \
        -not -path '*/Public/*' | head -n 1)
    mkdir -p "$folder/Tessera_RS"
    printf '[Port]\r\nPort=%s\r\nBaud=3\r\nPause=500\r\nprot=1\r\n[Update]\r\nUpdate=0\r\n' "$com" \
        >"$folder/Tessera_RS/setup.cfg"
    echo "$folder/Tessera_RS/setup.cfg"
}

install_check() {
    local setup version shown
    setup=$(cat "$work/installer")
    version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$win_build/CMakeCache.txt")
    timeout 300 wine "$setup" /S
    [ -f "$(installed_dir)/tessera.exe" ] || { echo "tessera.exe not installed" >&2; return 1; }
    [ -f "$(installed_dir)/platforms/qwindows.dll" ] || { echo "platform plugin not installed" >&2; return 1; }
    [ -f "$(start_menu_dir)/$product.lnk" ] || { echo "no Start-menu entry" >&2; return 1; }
    (cd "$(installed_dir)" && find . -type f | sort) >"$work/installed.txt"
    (cd "$win_build/deploy" && find . -type f | sort; echo ./uninstall.exe) | sort >"$work/expected.txt"
    diff -u "$work/expected.txt" "$work/installed.txt"

    shown=$(timeout 60 wine "C:\\Program Files\\$product\\tessera.exe" --version 2>/dev/null | tr -d '\r')
    echo "installed --version: $shown"
    [[ "$shown" == *"$version"* ]] || { echo "--version does not print $version" >&2; return 1; }
    # The installed window, started on COM5 from the settings file, shown, then ended.
    start_instrument
    settings_for_installed >/dev/null
    shown=$(TESSERA_EXIT_AFTER_SHOWN=1 timeout 120 wine "C:\\Program Files\\$product\\tessera.exe" \
        2>>"$work/wine-stderr.log" | tr -d '\r')
    echo "installed window: $shown"
    [[ "$shown" == "shown after "*" ms, port open" ]] || return 1
}

# Waits up to a minute for a top-level window whose name matches. xdotool gives up on the first
# X error, and Wine creates and destroys helper windows while the program starts, so a window
# that vanishes under its tree walk (BadWindow) only means "ask again".
wait_for_window() {
    local pattern=$1 deadline=$((SECONDS + 60))
    until xdotool search --name "$pattern" >/dev/null 2>&1; do
        [ $SECONDS -lt $deadline ] || return 1
        sleep 0.5
    done
}

# The update check starts the installer as the program ends; a program left running must be
# closed and replaced, not leave the old files.
install_over_running_program() {
    local setup settings before
    setup=$(cat "$work/installer")
    start_instrument
    settings=$(settings_for_installed)
    wine "C:\\Program Files\\$product\\tessera.exe" >/dev/null 2>>"$work/wine-stderr.log" &
    local program=$!
    wait_for_window "^$product" || { echo "the installed window was not shown" >&2; return 1; }
    before=$(stat -c %Y "$(installed_dir)/tessera.exe")
    touch -d '2000-01-01' "$(installed_dir)/tessera.exe"
    timeout 300 wine "$setup" /S
    timeout 60 tail --pid="$program" -f /dev/null || { echo "the running program was not closed" >&2; return 1; }
    [ "$(stat -c %Y "$(installed_dir)/tessera.exe")" -ge "$before" ] ||
        { echo "tessera.exe was not replaced" >&2; return 1; }
    # Asked to close, the program wrote its settings (the window's place) as it went.
    grep -q '^left=' "$settings" || { echo "the program did not close cleanly" >&2; return 1; }
}

uninstall_check() {
    timeout 300 wine "C:\\Program Files\\$product\\uninstall.exe" /S
    # The uninstaller runs from a copy of itself: wait for every program of the prefix.
    timeout 300 wineserver -w
    if [ -e "$(installed_dir)" ]; then
        echo "left behind:" >&2
        find "$(installed_dir)" >&2
        return 1
    fi
    [ ! -e "$(start_menu_dir)" ] || { echo "Start-menu entry left behind" >&2; return 1; }
    if wine reg query "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\$product" \
        >/dev/null 2>&1; then
        echo "uninstall key left behind" >&2
        return 1
    fi
    echo "removed: $product folder, Start-menu entry, uninstall key"
}

stage qt-windows qt_windows
stage windows-build windows_build
[ $build_only -eq 0 ] || exit 0
# Wine links the prefix's Documents and Desktop to the user's own folders: the programs under it
# get a home of their own, so that no settings file of the user's is read or written.
export HOME="$work/home"
mkdir -p "$HOME"
stage linux-build linux_build
stage installer installer
stage display start_display
DISPLAY=$(cat "$work/display-name")
export DISPLAY
stage wine-prefix make_prefix
stage tests-without-port tests_without_port
stage window-com5 window_against_com5
stage install install_check
stage install-over-running install_over_running_program
stage uninstall uninstall_check
