#!/usr/bin/env bash
# The two set-up commands of the README:
#   scripts/dev.sh run   installs what is missing, builds, starts the program (demo instrument)
#   scripts/dev.sh test  installs what is missing, builds, runs every test
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(
    g++ cmake ninja-build pkg-config
    qt6-base-dev qt6-base-dev-tools libgl-dev   # Widgets, Network, Test; moc and uic
    fonts-dejavu-core                           # a font for the offscreen and Xvfb platforms
    libmodbus-dev mbpoll                        # Modbus masters nobody here wrote, for interop tests
    xvfb xauth                                  # a display for screenshots and headless runs
)

install_missing() {
    local missing=()
    for p in "${packages[@]}"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    local sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    echo "Installing: ${missing[*]}"
    $sudo apt-get update
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends "${missing[@]}"
}

build() {
    local dir=$1; shift
    cmake -S . -B "$dir" -G Ninja "$@" >/dev/null
    cmake --build "$dir" -j "$(nproc)"
}

case "${1:-}" in
run)
    shift
    install_missing
    build build
    if [ $# -eq 0 ]; then set -- --demo; fi
    exec ./build/app/tessera "$@"
    ;;
test)
    install_missing
    build build
    home=$(mktemp -d)
    trap 'rm -rf "$home"' EXIT
    cd build
    HOME="$home" QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j "$(nproc)"
    ;;
*)
    echo "usage: $0 run [program arguments] | test" >&2
    exit 2
    ;;
esac
