#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: once in an optimised build, whose
# Debian package is then built and checked, and once under AddressSanitizer and
# UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
jobs="$(nproc)"

cmake -S . -B build/release -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build/release -j"$jobs"
ctest --test-dir build/release --output-on-failure -j"$jobs"
scripts/check-package.sh build/release

cmake -S . -B build/sanitize -DCMAKE_BUILD_TYPE=Debug -DVORNAL_SANITIZE=ON \
    -DVORNAL_BUILD_BENCH=OFF >/dev/null
cmake --build build/sanitize -j"$jobs"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
    ctest --test-dir build/sanitize --output-on-failure -j"$jobs"
