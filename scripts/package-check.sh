#!/usr/bin/env bash
# Builds the Debian package in a build folder of its own (Release, with Debian's hardening
# flags), checks it with desktop-file-validate and lintian, installs it with apt-get, runs every
# installed program's --version from its installed path, finds the manual pages with man -w,
# and removes the package again. Needs root or sudo (apt-get). Exits non-zero on the first
# failure; prints each stage's wall time.
#   scripts/package-check.sh [BUILD_DIR]        (default: build-package)
set -euo pipefail
cd "$(dirname "$0")/.."
dir=${1:-build-package}
sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"

stages=()
stage() {
    local name=$1; shift
    local start=$SECONDS status=0
    echo "== $name"
    set +e
    (set -e; "$@")
    status=$?
    set -e
    stages+=("$(printf '%-12s %-6s %5d s' "$name" "$([ $status -eq 0 ] && echo ok || echo FAILED)" $((SECONDS - start)))")
    return $status
}
installed=""
finish() {
    # A failed check must not leave the package on the machine.
    if [ -n "$installed" ]; then
        echo "== removing $installed after a failure"
        DEBIAN_FRONTEND=noninteractive $sudo apt-get remove -y "$installed" >/dev/null || true
    fi
    echo "== package check (wall time)"
    printf '   %s\n' "${stages[@]}"
    printf '   %-19s %5d s\n' total "$SECONDS"
}
trap finish EXIT

build() {
    local launcher=()
    if command -v ccache >/dev/null; then
        launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
    fi
    # The flags Debian builds its own packages with (fortify, stack protector, relro), and
    # immediate binding.
    export DEB_BUILD_MAINT_OPTIONS=hardening=+bindnow
    local cflags cxxflags ldflags
    cflags="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CFLAGS)"
    cxxflags="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)"
    ldflags=$(dpkg-buildflags --get LDFLAGS)
    # Packaging needs only the programs: no tests, and "install" does not build everything.
    cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF -DTESSERA_WERROR=ON \
        -DCMAKE_SKIP_INSTALL_ALL_DEPENDENCY=ON "${launcher[@]}" \
        -DCMAKE_C_FLAGS="$cflags" -DCMAKE_CXX_FLAGS="$cxxflags" -DCMAKE_EXE_LINKER_FLAGS="$ldflags" \
        >/dev/null
    cmake --build "$dir" --target package_contents -j "$(nproc)"
    rm -f "$dir"/*.deb
    (cd "$dir" && cpack -G DEB)
}

the_deb() {
    local debs=("$dir"/*.deb)
    [ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || { echo "expected one .deb in $dir" >&2; return 1; }
    realpath "${debs[0]}"
}

validate_desktop() {
    local unpacked
    unpacked=$(mktemp -d)
    dpkg-deb -x "$(the_deb)" "$unpacked"
    local entries=("$unpacked"/usr/share/applications/*.desktop)
    [ -f "${entries[0]}" ] || { echo "no .desktop entry in the package" >&2; return 1; }
    local status=0
    for entry in "${entries[@]}"; do
        echo "desktop-file-validate $(basename "$entry")"
        desktop-file-validate "$entry" || status=1
    done
    rm -rf "$unpacked"
    return $status
}

run_lintian() {
    # Errors fail the check; warnings are printed for whoever reads the log.
    lintian --fail-on error --display-info "$(the_deb)"
}

install_package() {
    local deb package
    deb=$(the_deb)
    package=$(dpkg-deb -f "$deb" Package)
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -o DPkg::Lock::Timeout=600 "$deb"
    echo "$package" >"$dir/installed-package"
}

# Each installed program has its manual page and answers --version with the package's version.
# A program whose usage does not offer --version yet is reported and skipped.
run_installed() {
    local deb version status=0
    deb=$(the_deb)
    version=$(dpkg-deb -f "$deb" Version)
    version=${version%-*}
    for program in $(dpkg-deb -c "$deb" | awk '{print $6}' | sed -n 's|^\./usr/bin/||p'); do
        local path=/usr/bin/$program answer
        man -w "$program" || { echo "FAILED no manual page for $program" >&2; status=1; }
        if ! "$path" --help 2>&1 | grep -q -- '--version'; then
            echo "SKIPPED $path: no --version option yet"
            continue
        fi
        answer=$(QT_QPA_PLATFORM=offscreen "$path" --version) || { echo "FAILED $path --version" >&2; status=1; continue; }
        echo "$path --version: $answer"
        if [[ "$answer" != *" $version"* ]]; then
            echo "FAILED $path --version does not name version $version" >&2
            status=1
        fi
    done
    return $status
}

# The menu entry's command starts the installed program, which opens the installed virtual
# instrument's line and quits once its window is up. A HOME of its own keeps the user's settings
# out of it (and the update check off).
start_from_menu() {
    local home sim_out sim_pid command answer status=0
    home=$(mktemp -d)
    mkdir -p "$home/Documents/Tessera_RS"
    printf '[Update]\nUpdate=0\n' >"$home/Documents/Tessera_RS/setup.cfg"
    sim_out="$home/sim.out"
    /usr/bin/tessera-sim --address 1 >"$sim_out" &
    sim_pid=$!
    for _ in $(seq 100); do [ -s "$sim_out" ] && break; sleep 0.1; done
    command=$(sed -n 's/^Exec=//p' /usr/share/applications/tessera-rs485.desktop)
    echo "menu command: $command --port $(cat "$sim_out")"
    # shellcheck disable=SC2086
    answer=$(HOME="$home" XDG_CONFIG_HOME="$home/.config" QT_QPA_PLATFORM=offscreen \
        TESSERA_EXIT_AFTER_SHOWN=1 timeout 60 $command --port "$(cat "$sim_out")" 2>&1) || status=1
    kill "$sim_pid"
    wait "$sim_pid" || true
    rm -rf "$home"
    echo "$answer" | grep -E 'shown after' || { echo "$answer" >&2; status=1; }
    echo "$answer" | grep -q 'port open' || { echo "FAILED the program did not open the line" >&2; status=1; }
    return $status
}

remove_package() {
    local package
    package=$(dpkg-deb -f "$(the_deb)" Package)
    DEBIAN_FRONTEND=noninteractive $sudo apt-get remove -y -o DPkg::Lock::Timeout=600 "$package"
    ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'
}

stage build build
stage desktop validate_desktop
stage lintian run_lintian
stage install install_package
installed=$(cat "$dir/installed-package")
stage run run_installed
stage start start_from_menu
stage remove remove_package
installed=""
