#!/usr/bin/env bash
# The Windows build, proven under Wine:
#   1. cross-builds the Qt-free targets for Windows (cmake/mingw-w64-x86_64.cmake) into
#      build-mingw, and builds the virtual instrument and the same programs natively (build);
#   2. creates a fresh Wine prefix in a temporary folder (no display needed: console programs);
#   3. per run, starts the Linux tessera-sim on a pseudo-terminal and maps Wine's COM5 onto it;
#   4. runs serial_backend_check natively and under Wine, whose verdicts must be equal but for
#      the differences of Wine named below, on COM5 and on both kinds of network port (the
#      event waiter of a connection), and, when tessera-cli.exe was built, the same
#      tessera-cli commands natively and under Wine, whose outputs must be equal;
#   5. compiles (syntax only) the files with Windows paths that need Qt, which is not available
#      for Windows here, against the system's Qt 6 headers.
# Exits non-zero on any failure; prints each stage's wall time at the end.
#
# Environment: TESSERA_LINUX_BUILD (default build), TESSERA_MINGW_BUILD (default build-mingw),
# TESSERA_CLI_COMMANDS (tessera-cli commands compared, separated by ";", default: a scan of
# the three-instrument line, a reading, a configuration read; set-config is compared after them).
set -euo pipefail
cd "$(dirname "$0")/.."

linux_build=${TESSERA_LINUX_BUILD:-build}
mingw_build=${TESSERA_MINGW_BUILD:-build-mingw}
# The line: three instruments at mixed protocols and speeds.
bus=modbus:1,qv:12,modbus:30@19200
IFS=';' read -r -a cli_commands <<<"${TESSERA_CLI_COMMANDS:-scan --addresses 1-2,11-13,29-30 --bauds 9600,19200 --timeout 100;--address 1 --protocol modbus read --count 2 --interval 10;--address 12 --protocol qv get-config}"
com=COM5

for tool in x86_64-w64-mingw32-g++-posix wine wineboot wineserver cmake ninja pkg-config; do
    command -v "$tool" >/dev/null || {
        echo "wine-check: $tool is missing (scripts/dev.sh test installs it)" >&2
        exit 1
    }
done

work=$(mktemp -d)
export WINEPREFIX="$work/prefix" WINEDEBUG=-all
# No Mono or Gecko installer prompts while the prefix is made; none of this needs them.
export WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY
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
    rm -rf "$work"
    if [ ${#stages[@]} -gt 0 ]; then
        echo "== wine-check stages (wall time)"
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
    # A subshell, so that set -e stops the stage at its first failure; the instrument a stage
    # started ends with it.
    (set -e; trap stop_sim EXIT; "$@")
    status=$?
    set -e
    local result=ok
    [ $status -eq 0 ] || result=FAILED
    stages+=("$(printf '%-18s %-6s %4d s' "$name" "$result" $((SECONDS - start)))")
    return $status
}

# ---- builds ---------------------------------------------------------------------------------

cli_built() { [ -f "$mingw_build/cli/tessera-cli.exe" ]; }

mingw_build() {
    cmake -S . -B "$mingw_build" -G Ninja -DTESSERA_WERROR=ON \
        -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake >/dev/null
    cmake --build "$mingw_build" -j "$(nproc)"
    ls -l "$mingw_build"/tests/win32/serial_backend_check.exe
    if cli_built; then ls -l "$mingw_build"/cli/tessera-cli.exe; fi
}

linux_build() {
    [ -f "$linux_build/CMakeCache.txt" ] ||
        cmake -S . -B "$linux_build" -G Ninja -DTESSERA_WERROR=ON >/dev/null
    local targets=(--target tessera-sim --target serial_backend_check)
    if cli_built; then targets+=(--target tessera-cli); fi
    cmake --build "$linux_build" -j "$(nproc)" "${targets[@]}"
}

# ---- Wine prefix and the instrument behind COM5 ---------------------------------------------

# Wine's own way to name a port: HKLM\Software\Wine\Ports maps COM5 to a Unix path, and Wine
# then lists it in SERIALCOMM and links dosdevices/com5 to it. The path is a link of ours
# that each run points at its instrument's pseudo-terminal.
make_prefix() {
    wineboot -i >"$work/wineboot.log" 2>&1 || { tail -n 20 "$work/wineboot.log"; return 1; }
    wine reg add 'HKLM\Software\Wine\Ports' /v "$com" /d "$work/line" /f >/dev/null
    # The port list is made when Wine starts: stop it so the next start sees COM5.
    wineserver -k || true
    wineserver -w
    wine --version
}

# Starts a fresh instrument (or, with "bus", the three-instrument line) and maps COM5 onto its
# pseudo-terminal; sets $pty.
start_instrument() {
    stop_sim
    : >"$work/sim.out"
    local line=()
    [ "${1:-}" = bus ] && line=(--bus "$bus")
    "$linux_build/sim/tessera-sim" "${line[@]}" --frozen >"$work/sim.out" 2>>"$work/sim.log" &
    sim_pid=$!
    local waited=0
    until [ -s "$work/sim.out" ]; do
        kill -0 "$sim_pid" 2>/dev/null || { echo "tessera-sim ended at start" >&2; return 1; }
        [ $waited -lt 100 ] || { echo "tessera-sim printed no device" >&2; return 1; }
        sleep 0.1
        waited=$((waited + 1))
    done
    pty=$(head -n 1 "$work/sim.out")
    ln -sfn "$pty" "$work/line"
    ln -sfn "$pty" "$WINEPREFIX/dosdevices/${com,,}"
}

# Console output of a Windows program ends its lines with CR LF.
wine_run() { timeout 120 wine "$@" 2>>"$work/wine-stderr.log" | tr -d '\r'; }

# ---- checks ---------------------------------------------------------------------------------

# "<status> <check>" of each check the program printed, the port's name made PORT.
verdicts() {
    sed -n -E 's/^(ok|FAIL|skip) +(.{1,44}).*/\1 \2/p' "$2" | sed -E -e 's/ +$//' -e "s|$1|PORT|"
}

backend_native() {
    start_instrument
    timeout 120 "$linux_build/tests/win32/serial_backend_check" "$pty" | tee "$work/native.txt"
    verdicts "$pty" "$work/native.txt" >"$work/native.verdicts"
}

# What Wine does differently, and only that, is left out of the comparison: the port details
# are a check of the Windows build alone, and Wine lets a port be opened twice.
backend_wine() {
    start_instrument
    wine_run "$mingw_build/tests/win32/serial_backend_check.exe" "$com" | tee "$work/wine.txt"
    verdicts "$com" "$work/wine.txt" |
        grep -v -x -e 'ok port details' -e 'skip second open refused as busy' >"$work/wine.verdicts"
    grep -v -x 'ok second open refused as busy' "$work/native.verdicts" >"$work/native.compared"
    diff -u "$work/native.compared" "$work/wine.verdicts"
}

# The same command against a fresh instrument each, natively and under Wine; the port's name
# is the only thing allowed to differ.
# What may differ between two runs: the port's name and the time a configuration was read.
normalise() { sed -i -e "s|$1|PORT|g" -e 's/ read [0-9T:.-]*Z$/ read TIME/' "$2"; }

compare_cli() {
    local command=$1 failed=0
    start_instrument bus
    # shellcheck disable=SC2086
    timeout 120 "$linux_build/cli/tessera-cli" --port "$pty" ${command//@CONFIG@/$work/config.txt} \
        >"$work/cli-native.txt" 2>&1 || failed=1
    normalise "$pty" "$work/cli-native.txt"
    start_instrument bus
    # shellcheck disable=SC2086
    wine_run "$mingw_build/cli/tessera-cli.exe" --port "$com" ${command//@CONFIG@/Z:$work/config.txt} \
        >"$work/cli-wine.txt" || failed=1
    normalise "$com" "$work/cli-wine.txt"
    cat "$work/cli-wine.txt"
    if [ $failed -ne 0 ]; then
        echo "tessera-cli $command failed" >&2
        return 1
    fi
    diff -u "$work/cli-native.txt" "$work/cli-wine.txt"
}

# Starts the line behind a virtual gateway ($1: --tcp or --modbus-tcp, loopback; the rest:
# more options of tessera-sim); sets $url.
start_gateway() {
    stop_sim
    : >"$work/sim.out"
    # shellcheck disable=SC2086
    "$linux_build/sim/tessera-sim" $1 127.0.0.1:0 --bus "$bus" --frozen "${@:2}" \
        >"$work/sim.out" 2>>"$work/sim.log" &
    sim_pid=$!
    local waited=0
    until [ -s "$work/sim.out" ]; do
        kill -0 "$sim_pid" 2>/dev/null || { echo "tessera-sim ended at start" >&2; return 1; }
        [ $waited -lt 100 ] || { echo "tessera-sim printed no port" >&2; return 1; }
        sleep 0.1
        waited=$((waited + 1))
    done
    url=$(head -n 1 "$work/sim.out")
}

# The event waiter of a network port (serial_backend_check given the gateway's port name),
# natively and under Wine (Winsock) against a fresh gateway each, which drops the connection
# at its third request; the verdicts must be equal.
backend_gateway() {
    local gateway=$1
    start_gateway "$gateway" --drop-after 2
    timeout 120 "$linux_build/tests/win32/serial_backend_check" "$url" |
        tee "$work/gateway-native.txt"
    verdicts "$url" "$work/gateway-native.txt" >"$work/gateway-native.verdicts"
    start_gateway "$gateway" --drop-after 2
    wine_run "$mingw_build/tests/win32/serial_backend_check.exe" "$url" |
        tee "$work/gateway-wine.txt"
    verdicts "$url" "$work/gateway-wine.txt" >"$work/gateway-wine.verdicts"
    diff -u "$work/gateway-native.verdicts" "$work/gateway-wine.verdicts"
}

# The same command through a virtual gateway, natively and under Wine (Winsock); the gateway's
# port is the only thing allowed to differ.
compare_gateway() {
    local gateway=$1 command=$2 failed=0
    start_gateway "$gateway"
    # shellcheck disable=SC2086
    timeout 120 "$linux_build/cli/tessera-cli" --port "$url" $command \
        >"$work/gateway-native.txt" 2>&1 || failed=1
    normalise "$url" "$work/gateway-native.txt"
    start_gateway "$gateway"
    # shellcheck disable=SC2086
    wine_run "$mingw_build/cli/tessera-cli.exe" --port "$url" $command \
        >"$work/gateway-wine.txt" || failed=1
    normalise "$url" "$work/gateway-wine.txt"
    cat "$work/gateway-wine.txt"
    if [ $failed -ne 0 ]; then
        echo "tessera-cli --port $gateway $command failed" >&2
        return 1
    fi
    diff -u "$work/gateway-native.txt" "$work/gateway-wine.txt"
}

# No Qt for Windows here: the files with Windows paths that need Qt are compiled as far as a
# compiler goes without Qt's Windows build, against the system's Qt headers (their Linux
# configuration), with the windows' generated headers from uic.
qt_windows_files() {
    { ls ui/*Win32.cpp; grep -rl --include='*.cpp' _WIN32 base exchange controls ui app serial; } |
        grep -v -x serial/SerialBackendWin32.cpp | sort -u
}

windows_qt_syntax() {
    local generated="$work/uic" failed=0 file
    mkdir -p "$generated"
    for form in ui/*.ui; do
        "$(pkg-config --variable=libexecdir Qt6Core)/uic" "$form" \
            -o "$generated/ui_$(basename "$form" .ui).h"
    done
    local qt_flags
    # The Linux mkspec is left out: it is the platform's, and nothing here needs it.
    qt_flags=$(pkg-config --cflags Qt6Widgets Qt6Network | sed 's|-I[^ ]*/mkspecs/[^ ]*||g')
    for file in $(qt_windows_files); do
        # Qt's Linux headers declare their exports without dllimport: -Wno-attributes.
        # shellcheck disable=SC2086
        if x86_64-w64-mingw32-g++-posix -std=c++17 -fsyntax-only -Wall -Wextra -Werror \
            -Wno-attributes -I. -I"$generated" $qt_flags "$file"; then
            echo "ok   $file"
        else
            echo "FAIL $file"
            failed=1
        fi
    done
    return $failed
}

stage mingw-build mingw_build
stage linux-build linux_build
stage wine-prefix make_prefix
stage backend-native backend_native
stage backend-wine backend_wine
stage "backend tcp://" backend_gateway --tcp
stage "backend modbus-tcp://" backend_gateway --modbus-tcp
if cli_built; then
    for command in "${cli_commands[@]}"; do
        stage "cli $(echo "$command" | grep -oE '(scan|read|get-config|set-config)' | head -n 1)" \
            compare_cli "$command"
    done
    # A configuration read natively from the QV instrument, written onto the Modbus one at
    # 19200 (its address and protocol change last) and read back.
    config_file() {
        start_instrument bus
        timeout 120 "$linux_build/cli/tessera-cli" --port "$pty" --address 12 --protocol qv \
            get-config -o "$work/config.txt"
    }
    stage "config file" config_file
    stage "cli set-config" compare_cli "--address 30 --baud 19200 --protocol modbus set-config @CONFIG@"
    stage "cli through tcp://" compare_gateway --tcp "--address 12 --protocol qv read --params 1,2"
    stage "cli through modbus-tcp://" compare_gateway --modbus-tcp "scan --addresses 1-2"
else
    echo "== no $mingw_build/cli/tessera-cli.exe: tessera-cli not compared"
fi
stage windows-qt-syntax windows_qt_syntax
