#!/usr/bin/env bash
# Installs from Debian's packages whatever the build needs and is missing.
#   install-deps.sh run    what building and running the Linux program needs
#   install-deps.sh test   that, plus what the whole test suite needs (Xvfb, MinGW-w64, Wine)
#   install-deps.sh bench  that, plus what bench/scan_vs_find.sh runs beside the scan (fd, bfs)
set -euo pipefail

run_packages=(cmake g++ make python3 libgtest-dev qt6-base-dev libgl-dev xdg-utils fonts-liberation fonts-dejavu-core)
bench_packages=(hyperfine fd-find bfs jq)  # bench/scan_vs_find.sh and bench/all.sh
run_packages+=(libcli11-dev)  # vesk-cli's arguments (header-only; the MinGW build uses it too)
test_packages=(xvfb xauth xdotool x11-utils imagemagick googletest g++-mingw-w64-x86-64 g++-mingw-w64-x86-64-posix wine64 wine)
run_packages+=(nlohmann-json3-dev)       # the .sol reader's tests and fuzzer check its JSON with it
test_packages+=(clang libfuzzer-14-dev libclang-rt-14-dev)  # the .sol reader's fuzzer; clang only recommends its runtimes
test_packages+=(lintian appstream dpkg-dev file)  # building and checking the packages
test_packages+=(sleuthkit)  # mactime reads list --format bodyfile in the end-to-end test
# The Values tree read as a screen reader reads it: a session bus, the AT-SPI registry, pyatspi
test_packages+=(dbus-daemon at-spi2-core python3-pyatspi)
test_packages+=(xclip)  # what the window copied, read back in the end-to-end test

packages=("${run_packages[@]}")
[ "${1:-run}" = test ] && packages+=("${test_packages[@]}")
[ "${1:-run}" = bench ] && packages+=("${bench_packages[@]}")

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=()
[ "$(id -u)" -eq 0 ] || sudo=(sudo)
echo "Installing: ${missing[*]}"
"${sudo[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
