#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: once in an optimised build, whose
# Debian package is then built and checked, and once under AddressSanitizer and
# UndefinedBehaviorSanitizer; then each fuzz target for a short while ($VORNAL_FUZZ_SECONDS,
# 30 by default) on its seeds, where clang is there.
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

if ! command -v clang++-14 >/dev/null; then
    echo "clang++-14 not found: fuzz targets skipped"
    exit 0
fi
cmake -S . -B build/fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++-14 \
    -DVORNAL_FUZZ=ON -DVORNAL_BUILD_TESTS=OFF -DVORNAL_BUILD_BENCH=OFF -DVORNAL_BUILD_GUI=OFF \
    >/dev/null
cmake --build build/fuzz -j"$jobs" --target fuzz_decrypt_string fuzz_decrypt_file
for target in decrypt_string decrypt_file; do
    # New inputs go to a scratch corpus; the seeds in the repository stay as they are.
    corpus="build/fuzz/corpus-$target"
    mkdir -p "$corpus"
    build/fuzz/fuzz/fuzz_$target -max_total_time="${VORNAL_FUZZ_SECONDS:-30}" \
        -artifact_prefix=build/fuzz/ -print_final_stats=1 "$corpus" "fuzz/seeds/${target//_/-}"
done
