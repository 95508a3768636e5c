#!/usr/bin/env bash
# Encrypts and decrypts a generated English-like text in place with vornal-cli, side by
# side with ccrypt on a copy of the same file and with a cp of a file of our output's size
# (the floor for writing it), and prints MB/s of plain text and peak memory for each.
# Usage: bench/file_bench.sh [MEGABYTES] (default 20)
set -euo pipefail
cd "$(dirname "$0")/.."
mb="${1:-20}"
build=build/release

if ! command -v ccrypt >/dev/null; then
    sudo=""; [ "$(id -u)" -ne 0 ] && sudo="sudo"
    $sudo apt-get install -y -qq ccrypt >/dev/null
fi
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j"$(nproc)" --target vornal-cli make_corpus measure >/dev/null

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
bytes=$((mb * 1000 * 1000))
"$build/bench/make_corpus" "$bytes" "$work/corpus.txt"
cp "$work/corpus.txt" "$work/ours.txt"
cp "$work/corpus.txt" "$work/theirs.txt"
export VORNAL_HOME="$work/home" BENCH_KEY="bench key 2026"
sync

measure="$build/bench/measure"
row() { # name seconds peak
    awk -v n="$1" -v s="$2" -v p="$3" -v b="$bytes" \
        'BEGIN { printf "%-22s %8.3f s %9.1f MB/s %8.1f MB peak\n", n, s, b / 1e6 / s, p }'
}
run() { # result-name command...
    local name="$1"; shift
    "$measure" "$work/$name.result" "$@" >/dev/null
    read -r secs peak status < "$work/$name.result"
    [ "$status" = 0 ] || { echo "$name failed with status $status" >&2; exit 1; }
}
run enc "$build/app/cli/vornal-cli" encrypt --key-env BENCH_KEY "$work/ours.txt"; s1=$secs p1=$peak
run cenc ccrypt -e -f -K "$BENCH_KEY" "$work/theirs.txt"; s2=$secs p2=$peak
encrypted_size=$(stat -c %s "$work/ours.txt")
ccrypt_size=$(stat -c %s "$work/theirs.txt.cpt")
cp "$work/ours.txt" "$work/floor.src"
sync
run floor cp "$work/floor.src" "$work/floor.dst"; s5=$secs p5=$peak
rm -f "$work/floor.src" "$work/floor.dst"
run dec "$build/app/cli/vornal-cli" decrypt --key-env BENCH_KEY "$work/ours.txt"; s3=$secs p3=$peak
run cdec ccrypt -d -f -K "$BENCH_KEY" "$work/theirs.txt.cpt"; s4=$secs p4=$peak

echo "processor: $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | xargs);" \
    "cipher: $("$build/app/cli/vornal-cli" --version | sed -n 's/^cipher: //p'); threads: ${VORNAL_THREADS:-$(nproc)}"
echo "plain text: $bytes bytes; encrypted by us: $encrypted_size bytes; by ccrypt: $ccrypt_size bytes"
row "vornal-cli encrypt" "$s1" "$p1"
row "ccrypt -e" "$s2" "$p2"
row "vornal-cli decrypt" "$s3" "$p3"
row "ccrypt -d" "$s4" "$p4"
row "cp (our output size)" "$s5" "$p5"
awk -v a="$s1" -v b="$s2" -v c="$s3" -v d="$s4" 'BEGIN {
    printf "encryption speed vs ccrypt: %.2fx   decryption speed vs ccrypt: %.2fx\n", b / a, d / c }'
if cmp -s "$work/corpus.txt" "$work/ours.txt"; then
    echo "round trip: identical"
else
    echo "round trip: DIFFERENT" >&2
    exit 1
fi
