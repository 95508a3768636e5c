#!/usr/bin/env bash
# Installs the Debian 12 packages the build and the tests need, only those missing.
# With "packaging": the tools that check the Debian package instead (scripts/check-package.sh).
set -euo pipefail

packages=(
    build-essential cmake pkg-config
    libgtest-dev libgmock-dev libbenchmark-dev libssl-dev
    # The window: Qt 6 Widgets (with its OpenGL headers), and a font close to the design's.
    qt6-base-dev libgl-dev fonts-dejavu-core
    # A virtual display for screenshots of the window (xvfb-run).
    xvfb xauth
    # The test that looks for copies of the key in the command line's memory.
    gdb
    # The fuzz targets: clang with libFuzzer and the sanitizers' runtime.
    clang-14 libclang-rt-14-dev
)
if [ "${1:-}" = packaging ]; then
    packages=(
        # cpack: dpkg-shlibdeps, and file to find the programs among the files.
        dpkg-dev file
        lintian desktop-file-utils appstream
        # man --warnings and groff, for the manual pages.
        man-db groff-base
    )
fi

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -eq 0 ]; then
    exit 0
fi

echo "Installing: ${missing[*]}"
sudo=""
if [ "$(id -u)" -ne 0 ]; then
    sudo="sudo"
fi
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
