#!/usr/bin/env bash
# Encrypts and decrypts one file larger than 32-bit sizes (default 2200 MB, long words so
# the encrypted file stays near 10 GB) and checks the round trip and peak memory. Needs
# about five times the file's size free on the disk of TMPDIR.
# Usage: bench/huge_file_bench.sh [MEGABYTES]
set -euo pipefail
cd "$(dirname "$0")/.."
mb="${1:-2200}"
build=build/release
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j"$(nproc)" --target vornal-cli make_corpus measure >/dev/null
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
bytes=$((mb * 1000 * 1000))
"$build/bench/make_corpus" "$bytes" "$work/huge.txt" 100 200
expected=$(sha256sum "$work/huge.txt" | cut -d' ' -f1)
export VORNAL_HOME="$work/home" BENCH_KEY="huge file key"
"$build/bench/measure" "$work/enc" "$build/app/cli/vornal-cli" encrypt --key-env BENCH_KEY "$work/huge.txt" >/dev/null
encrypted=$(stat -c %s "$work/huge.txt")
"$build/bench/measure" "$work/dec" "$build/app/cli/vornal-cli" decrypt --key-env BENCH_KEY "$work/huge.txt" >/dev/null
actual=$(sha256sum "$work/huge.txt" | cut -d' ' -f1)
read -r es ep ex _ < "$work/enc"
read -r ds dp dx _ < "$work/dec"
echo "plain: $bytes bytes; encrypted: $encrypted bytes"
echo "encrypt: $es s, peak $ep MB, exit $ex"
echo "decrypt: $ds s, peak $dp MB, exit $dx"
if [ "$expected" = "$actual" ] && [ "$ex" = 0 ] && [ "$dx" = 0 ]; then
    echo "round trip: identical"
else
    echo "round trip: DIFFERENT" >&2
    exit 1
fi
