#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Builds the Debian packages and tries them as a user would: installs them
# (apt-get as root or through sudo; otherwise, or with
# VEXAL_PACKAGE_TEST=extract, dpkg -x into a fresh directory), builds the
# README's example against the installed header and library with pkg-config
# and runs it, runs `vxl --version` and `man -w vxl`, then removes the
# packages and checks that none of their files is left.
# Usage: scripts/package-test.sh [extra cmake configure arguments]
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
cd "$VEXAL_ROOT"

fail() { echo "package test: $*" >&2; exit 1; }

mapfile -t debs < <(bash scripts/package.sh "$@")
[ "${#debs[@]}" -eq 4 ] || fail "expected 4 packages, got: ${debs[*]}"
version=$(sed -n 's/^project(Vexal VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
packages=()
for deb in "${debs[@]}"; do
    packages+=("$(dpkg-deb -f "$deb" Package)")
    [ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || fail "$deb is not version $version"
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Every file that `cmake --install` installs is in one of the packages: an
# install rule without a package's component would be left out silently.
DESTDIR=$work/installed cmake --install build/package >/dev/null
(cd "$work/installed" && find . ! -type d | sort) > "$work/installed.txt"
for deb in "${debs[@]}"; do dpkg-deb --fsys-tarfile "$deb" | tar -t; done \
    | grep -v '/$' | sort > "$work/packaged.txt"
unpackaged=$(comm -23 "$work/installed.txt" "$work/packaged.txt")
[ -z "$unpackaged" ] || fail "installed but in no package: $unpackaged"

mode=${VEXAL_PACKAGE_TEST:-}
if [ -z "$mode" ]; then
    if [ "$(id -u)" -eq 0 ] || command -v sudo >/dev/null 2>&1; then mode=apt; else mode=extract; fi
fi

if [ "$mode" = apt ]; then
    vexal_apt install -y "${debs[@]}"
    root=
else
    root=$work/root
    for deb in "${debs[@]}"; do dpkg -x "$deb" "$root"; done
    libdir=$(dirname "$(find "$root" -name vexal.pc)")
    export PKG_CONFIG_PATH=$libdir
    export LD_LIBRARY_PATH=$(dirname "$libdir")
    export MANPATH=$root/usr/share/man
    export PATH=$root/usr/bin:$PATH
fi
echo "Installed (${mode}): ${packages[*]}"

# The README's first C example, built as its text says.
awk '/^```c$/ {inside=1; next} inside && /^```$/ {exit} inside' README.md > "$work/app.c"
[ -s "$work/app.c" ] || fail "no C example found in README.md"
# shellcheck disable=SC2046 # pkg-config's words are meant to split
cc -o "$work/app" "$work/app.c" $(pkg-config --cflags --libs vexal)
"$work/app" > "$work/app.out" || fail "the example ended with status $?: $(cat "$work/app.out")"
grep -q 'app\.c' "$work/app.out" || fail "the example reported no block of app.c: $(cat "$work/app.out")"
echo "README example: built with pkg-config, ran, reported its leak"

vxl_version=$(vxl --version)
[[ $vxl_version == *"$version"* ]] || fail "vxl --version says '$vxl_version', not $version"
echo "vxl --version: $vxl_version"
page=$(man -w vxl)
[[ $page == "$root"/usr/share/man/man1/vxl.1* ]] || fail "man -w vxl found '$page'"
echo "man -w vxl: $page"

if [ "$mode" = apt ]; then
    vexal_apt remove -y "${packages[@]}"
    for deb in "${debs[@]}"; do
        while read -r path; do
            path=${path#.}
            # Folders such as /usr/share/man belong to others too.
            if [ -e "$path" ] && [ ! -d "$path" ] || [ -L "$path" ]; then
                fail "$path of $deb is still there after apt-get remove"
            fi
        done < <(dpkg-deb --fsys-tarfile "$deb" | tar -t)
    done
    for package in "${packages[@]}"; do
        if dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -qv 'not-installed'; then
            fail "$package is still known to dpkg: $(dpkg-query -W -f='${Status}' "$package")"
        fi
    done
    for folder in /usr/share/doc/Vexal /usr/lib/*/cmake/Vexal; do
        [ ! -e "$folder" ] || fail "$folder is still there after apt-get remove"
    done
    echo "Removed: ${packages[*]}, no file left"
fi
