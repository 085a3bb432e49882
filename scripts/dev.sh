#!/usr/bin/env bash
# The two set-up commands of the README:
#   scripts/dev.sh run   installs what is missing, builds, starts the program (demo instrument)
#   scripts/dev.sh test  installs what is missing, builds, runs every test; then the same tests
#                        under AddressSanitizer+UBSan (build-asan), the threaded ones under
#                        ThreadSanitizer (build-tsan), short fuzz runs (build-fuzz), and the
#                        Windows build under Wine (build-mingw, scripts/wine-check.sh), and
#                        the window for Windows with its installer under Wine
#                        (scripts/windows-gui-check.sh; Qt for Windows cached outside the tree)
set -euo pipefail
cd "$(dirname "$0")/.."

# What building and running the program needs ("run"), and what only the tests add ("test").
run_packages=(
    g++ cmake ninja-build pkg-config
    qt6-base-dev qt6-base-dev-tools libgl-dev   # Widgets, Network, Test; moc and uic
    qt6-tools-dev qt6-tools-dev-tools qt6-l10n-tools   # lrelease/lupdate: the English texts
    fonts-dejavu-core                           # a font for the offscreen and Xvfb platforms
    qt6-translations-l10n                       # Qt's own dialogs and buttons in Russian
)
test_packages=(
    libmodbus-dev mbpoll                        # Modbus masters nobody here wrote, for interop tests
    xvfb xauth                                  # a display for screenshots and headless runs
    clang libclang-rt-14-dev                    # libFuzzer for the fuzz harnesses
    clang-format                                # the sources' one style (.clang-format)
    dpkg-dev file lintian desktop-file-utils librsvg2-bin man-db   # the .deb: build, check, icons
    g++-mingw-w64-x86-64 wine wine64            # the Windows build and its proof under Wine
    g++-mingw-w64-x86-64-posix                  # Qt for Windows needs std::thread
    nsis xdotool                                # the Windows installer; windows under Xvfb
)

install_missing() {
    local missing=()
    for p in "$@"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    local sudo=""
    if [ "$(id -u)" -ne 0 ]; then
        if ! command -v sudo >/dev/null; then
            echo "Missing Debian packages: ${missing[*]}" >&2
            echo "Installing them needs root and there is no sudo here: run this command as root" >&2
            echo "(su -c '$0 ${dev_command}'), or install them first as root:" >&2
            echo "    apt-get install ${missing[*]}" >&2
            exit 1
        fi
        sudo="sudo"
    fi
    echo "Installing: ${missing[*]}"
    $sudo apt-get update
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends "${missing[@]}"
}

build() {
    local dir=$1; shift
    local configure=() targets=()
    while [ $# -gt 0 ]; do
        if [ "$1" = --target ]; then targets+=(--target "$2"); shift 2; else configure+=("$1"); shift; fi
    done
    cmake -S . -B "$dir" -G Ninja "${configure[@]}" >/dev/null
    cmake --build "$dir" -j "$(nproc)" "${targets[@]}"
}

# Builds only what the selected tests run: each test command's program is a target of the
# same name (several tests may run one program, e.g. tessera with different arguments). The
# programs are read from the generated CTestTestfile.cmake files, since ctest shows no command
# for a program not built yet; a program that is no target of ours (cmake -P for a script test)
# is left out.
test_targets() {
    local dir=$1 select=$2 names known
    # shellcheck disable=SC2086
    names=$(cd "$dir" && ctest -N $select 2>/dev/null | sed -n 's/^ *Test *#[0-9]*: *//p')
    known=$(ninja -C "$dir" -t targets all | sed -n 's/^\([^:/]*\): .*/\1/p' | sort -u)
    for name in $names; do
        grep -h "^add_test(\[=\[$name\]=\] " $(find "$dir" -name CTestTestfile.cmake) |
            sed 's/^[^"]*"\([^"]*\)".*$/\1/' | xargs -n1 basename
    done | sort -u | comm -12 - <(echo "$known")
}

build_tests() {
    local dir=$1 select=$2; shift 2
    cmake -S . -B "$dir" -G Ninja "$@" >/dev/null
    local targets
    targets=$(test_targets "$dir" "$select")
    # shellcheck disable=SC2086
    cmake --build "$dir" -j "$(nproc)" $(printf -- '--target %s ' $targets)
}

run_in() {
    local dir=$1; shift
    (cd "$dir" && "$@")
}

# Every C++ source tracked by git already looks as .clang-format asks; lists the ones that do not.
check_format() {
    local files
    files=$(git ls-files '*.cpp' '*.h')
    # shellcheck disable=SC2086
    if ! clang-format --dry-run --Werror $files 2>/dev/null; then
        # shellcheck disable=SC2086
        clang-format --dry-run $files 2>&1 | sed -n 's/^\([^:]*\):[0-9]*:[0-9]*: warning.*/\1/p' | sort -u
        echo "run: git ls-files '*.cpp' '*.h' | xargs clang-format -i"
        return 1
    fi
}

fuzz_build() {
    CC=clang CXX=clang++ build build-fuzz -DTESSERA_SANITIZER=address -DTESSERA_FUZZ=ON \
        -DBUILD_TESTING=OFF -DTESSERA_WERROR=ON --target fuzzers
}

# One bounded libFuzzer run over the committed seeds; what it finds on the way goes to a
# scratch folder, so the committed corpus is never changed by CI.
fuzz() {
    local name=$1 seconds=$2
    local scratch="$home/corpus-$name" log="$home/fuzz-$name.log"
    mkdir -p "$scratch"
    if ! "build-fuzz/tests/fuzz/fuzz_$name" -max_total_time="$seconds" -timeout=10 -print_final_stats=1 \
        "$scratch" "tests/fuzz/corpus/$name" >"$log" 2>&1; then
        tail -n 60 "$log"
        return 1
    fi
    grep -E '^stat::number_of_executed_units|^Done ' "$log" | tr '\n' ' '
    echo
}

# Qt for Windows and the window built with it take longer than anything else here and are
# needed only by the last stage. They are built beside the stages in between, at the lowest
# priority: the compilers there take the processor from them, the tests mostly wait on their
# lines and leave it to them. Their output goes to a log; windows_gui_wait shows its end.
windows_gui_start() {
    # The new session is a scheduling group of its own where the kernel groups by session
    # (autogroup): there niceness counts only inside the group, and the group would get an
    # equal share beside the stages' group. So the group itself is made the lowest too.
    setsid nice -n 19 bash -c '{ echo 19 >/proc/self/autogroup; } 2>/dev/null
                               scripts/windows-gui-check.sh --build-only >"$1/windows-build.log" 2>&1
                               echo $? >"$1/windows-build.status"' _ "$home" &
    windows_gui_builder=$!
}

windows_gui_stop() {
    [ -n "${windows_gui_builder:-}" ] || return 0
    kill -- -"$windows_gui_builder" 2>/dev/null || true
}

windows_gui_wait() {
    tail --pid="$windows_gui_builder" -f /dev/null
    tail -n 25 "$home/windows-build.log"
    [ "$(cat "$home/windows-build.status" 2>/dev/null)" = 0 ]
}

# Stages run in order; each prints one line with its wall time, and all lines are repeated
# at the end (also when a stage fails).
stages=()
stage() {
    local name=$1; shift
    local start=$SECONDS status=0
    echo "== $name"
    # A subshell outside any || list, so that set -e still stops the stage at its first failure.
    set +e
    (set -e; "$@")
    status=$?
    set -e
    local line
    line=$(printf '%-16s %-6s %5d s' "$name" "$([ $status -eq 0 ] && echo ok || echo FAILED)" $((SECONDS - start)))
    stages+=("$line")
    echo "== $line"
    return $status
}

summary() {
    [ ${#stages[@]} -eq 0 ] && return 0
    echo "== stage summary (wall time)"
    printf '   %s\n' "${stages[@]}"
    printf '   %-23s %5d s\n' total "$SECONDS"
}

dev_command="$*"  # for the message when packages are missing and nothing can install them
case "${1:-}" in
run)
    shift
    install_missing "${run_packages[@]}"
    # Only the program: a newcomer sees it within minutes; the tests build with "test".
    build build -DBUILD_TESTING=OFF --target tessera
    if [ $# -eq 0 ]; then set -- --demo; fi
    exec ./build/app/tessera "$@"
    ;;
test)
    home=$(mktemp -d)
    trap 'windows_gui_stop; rm -rf "$home"; summary' EXIT
    stage packages install_missing "${run_packages[@]}" "${test_packages[@]}"
    windows_gui_start
    stage format check_format
    stage build build build -DBUILD_TESTING=ON -DTESSERA_WERROR=ON
    # The tests mostly wait on the line's time-outs (some 10 s of processor time in 270 s of
    # tests), so three per core run side by side; the long classes are split into shares.
    stage ctest run_in build env HOME="$home" QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j "$(($(nproc) * 3))" -LE soak
    # The long soak (10 000 exchanges with faults injected), kept out of the default run.
    stage soak run_in build env HOME="$home" QT_QPA_PLATFORM=offscreen ctest --output-on-failure -L soak
    # The same tests under the sanitizers. Any report fails its test: the options are set per
    # test in tests/CMakeLists.txt (halt on error, leak check, one suppression file each).
    stage asan-build build_tests build-asan "-LE soak" -DTESSERA_SANITIZER=address -DTESSERA_WERROR=ON
    stage asan-ctest run_in build-asan ctest --output-on-failure -j "$(nproc)" -LE soak
    stage tsan-build build_tests build-tsan "-L threaded" -DTESSERA_SANITIZER=thread -DTESSERA_WERROR=ON
    stage tsan-ctest run_in build-tsan ctest --output-on-failure -j "$(nproc)" -L threaded
    # The fuzz harnesses, each for a short bounded time over the committed seeds.
    stage fuzz-build fuzz_build
    for harness in answer packet profile version decode; do
        stage "fuzz-$harness" fuzz "$harness" "${TESSERA_FUZZ_SECONDS:-30}"
    done
    stage windows scripts/wine-check.sh
    # The Debian package: built, checked, installed, its programs run, removed again.
    stage package scripts/package-check.sh
    # The window for Windows: Qt for Windows (built into its cache when missing), tessera.exe,
    # the installer, and under Wine the window against COM5 and the installer's rounds.
    stage windows-gui-build windows_gui_wait
    stage windows-gui scripts/windows-gui-check.sh
    ;;
*)
    echo "usage: $0 run [program arguments] | test" >&2
    exit 2
    ;;
esac
