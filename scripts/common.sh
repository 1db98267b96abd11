# SPDX-License-Identifier: MIT
# Shared by scripts/*.sh and .ci/run (sourced, not run).

# The Debian packages that building, testing, benchmarking, fuzzing and
# packaging need (pandoc: the manual pages; dpkg-dev, file: cpack's
# dependencies of the packages; man-db: the package test's man -w).
# This list is the only one: every script installs from it.
VEXAL_PACKAGES=(cmake g++ make pkg-config python3 libgtest-dev libbenchmark-dev clang
                qt6-base-dev qt6-charts-dev g++-mingw-w64-x86-64 wine64 googletest
                libdw-dev libunwind-dev pandoc dpkg-dev file man-db)

VEXAL_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
JOBS="${JOBS:-$(nproc 2>/dev/null || echo 2)}"

# apt-get as root, or through sudo.
vexal_apt() {
    if [ "$(id -u)" -eq 0 ]; then
        DEBIAN_FRONTEND=noninteractive apt-get "$@"
    elif command -v sudo >/dev/null 2>&1; then
        sudo DEBIAN_FRONTEND=noninteractive apt-get "$@"
    else
        echo "Installing packages needs root or sudo: apt-get $*" >&2
        return 1
    fi
}

# Installs every package of the list (CI machines start empty).
vexal_install_packages() {
    vexal_apt update
    vexal_apt install -y "${VEXAL_PACKAGES[@]}"
}

# Installs the packages of the list that are not installed yet, if any.
vexal_install_missing() {
    if ! command -v dpkg-query >/dev/null 2>&1; then
        echo "No dpkg here: make sure these are installed: ${VEXAL_PACKAGES[*]}" >&2
        return 0
    fi
    local missing=() pkg
    for pkg in "${VEXAL_PACKAGES[@]}"; do
        if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed'; then
            missing+=("$pkg")
        fi
    done
    if [ "${#missing[@]}" -gt 0 ]; then
        echo "Installing: ${missing[*]}"
        vexal_apt update
        vexal_apt install -y "${missing[@]}"
    fi
}
