#!/usr/bin/env bash
# Encrypts and decrypts a generated English-like text in place with vornal-cli, side by
# side in one run, and prints medians of ROUNDS rounds, their ratios and peak memory:
#  - on a memory file system (the work itself): against ccrypt -e and ccrypt -d on a copy
#    of the same text;
#  - on the disk: encryption against the durable-write floor of our output's size (dd with
#    oflag=direct conv=fsync), decryption against the larger of reading the encrypted file
#    cold and writing the plain text durably. The page cache is dropped before every run
#    that reads the disk where the machine allows it; the table says when it did not.
# Every round checks that the text comes back byte for byte.
# Usage: bench/file_bench.sh [MEGABYTES] [ROUNDS]   (default 100 MB, 3 rounds)
# Environment: MEMORY_DIR (default /dev/shm), DISK_DIR (default /var/tmp), BUILD (default
# build/release), VORNAL_THREADS.
set -euo pipefail
cd "$(dirname "$0")/.."
mb="${1:-100}"
rounds="${2:-3}"
build="${BUILD:-build/release}"

if ! command -v ccrypt >/dev/null; then
    sudo=""; [ "$(id -u)" -ne 0 ] && sudo="sudo"
    $sudo apt-get install -y -qq ccrypt >/dev/null
fi
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j"$(nproc)" --target vornal-cli make_corpus measure >/dev/null
cli="$build/app/cli/vornal-cli"
measure="$build/bench/measure"

mem="$(mktemp -d -p "${MEMORY_DIR:-/dev/shm}")"
disk="$(mktemp -d -p "${DISK_DIR:-/var/tmp}")"
trap 'rm -rf "$mem" "$disk"' EXIT
bytes=$((mb * 1000 * 1000))
"$build/bench/make_corpus" "$bytes" "$mem/corpus.txt"
export VORNAL_HOME="$mem/home" BENCH_KEY="bench key 2026"

cold="yes"
drop_caches() {
    sync
    if [ "$cold" = yes ] && ! { echo 3 > /proc/sys/vm/drop_caches; } 2>/dev/null; then
        cold="no: /proc/sys/vm/drop_caches is not writable here"
    fi
}

# run NAME COMMAND...: appends "SECONDS PEAK_MB USER SYSTEM" to $results/NAME.
results="$mem/results"
mkdir -p "$results"
run() {
    local name="$1"; shift
    "$measure" "$mem/last" "$@" >/dev/null
    read -r secs peak status user system < "$mem/last"
    [ "$status" = 0 ] || { echo "$name failed with status $status" >&2; exit 1; }
    echo "$secs $peak $user $system" >> "$results/$name"
}
# dd_write NAME BYTES FILE: a durable write of BYTES bytes past the page cache.
dd_write() {
    run "$1" dd if=/dev/zero of="$3" bs=4M count="$2" iflag=count_bytes oflag=direct conv=fsync status=none
    rm -f "$3"
}
same_or_fail() {
    cmp -s "$mem/corpus.txt" "$1" || { echo "round trip: DIFFERENT ($1)" >&2; exit 1; }
}

loads=("$(cut -d' ' -f1-3 /proc/loadavg)")
for ((r = 1; r <= rounds; r++)); do
    # The work itself: nothing waits for a disk.
    cp "$mem/corpus.txt" "$mem/ours.txt"
    cp "$mem/corpus.txt" "$mem/theirs.txt"
    run mem_enc "$cli" encrypt --key-env BENCH_KEY "$mem/ours.txt"
    run mem_cenc ccrypt -e -f -K "$BENCH_KEY" "$mem/theirs.txt"
    encrypted=$(stat -c %s "$mem/ours.txt")
    run mem_dec "$cli" decrypt --key-env BENCH_KEY "$mem/ours.txt"
    run mem_cdec ccrypt -d -f -K "$BENCH_KEY" "$mem/theirs.txt.cpt"
    same_or_fail "$mem/ours.txt"
    rm -f "$mem/ours.txt" "$mem/theirs.txt"
done
# The disk's rounds after the memory's, so that the disk's work left behind (write-back,
# discards) does not fall into them.
for ((r = 1; r <= rounds; r++)); do
    # The disk: our runs against what the disk itself takes for the same bytes.
    cp "$mem/corpus.txt" "$disk/ours.txt"
    drop_caches
    run disk_enc "$cli" encrypt --key-env BENCH_KEY "$disk/ours.txt"
    dd_write disk_enc_floor "$encrypted" "$disk/floor"
    cp "$disk/ours.txt" "$disk/copy.txt"
    drop_caches
    run disk_dec "$cli" decrypt --key-env BENCH_KEY "$disk/ours.txt"
    same_or_fail "$disk/ours.txt"
    drop_caches
    run disk_dec_read dd if="$disk/copy.txt" of=/dev/null bs=4M status=none
    dd_write disk_dec_write "$bytes" "$disk/floor"
    rm -f "$disk/ours.txt" "$disk/copy.txt"
done
loads+=("$(cut -d' ' -f1-3 /proc/loadavg)")

# median FILE FIELD
median() {
    cut -d' ' -f"$2" "$1" | sort -n | awk '{ v[NR] = $1 } END {
        printf "%.3f", NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}
peak() { cut -d' ' -f2 "$1" | sort -n | tail -1; }
row() { # LABEL NAME
    printf "%-34s %8s s %8.1f MB/s %7s MB  user %6s s  sys %6s s\n" "$1" "$(median "$results/$2" 1)" \
        "$(awk -v b="$bytes" -v s="$(median "$results/$2" 1)" 'BEGIN { print b / 1e6 / s }')" \
        "$(peak "$results/$2")" "$(median "$results/$2" 3)" "$(median "$results/$2" 4)"
}
ratio() { awk -v a="$(median "$results/$1" 1)" -v b="$(median "$results/$2" 1)" 'BEGIN { printf "%.2f", a / b }'; }
# The larger of the two decryption floors, round by round.
paste -d' ' "$results/disk_dec_read" "$results/disk_dec_write" |
    awk '{ print ($1 > $5 ? $1 : $5), 0, 0, 0 }' > "$results/disk_dec_floor"

processor="$(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | xargs)"
engines="$("$cli" --version | grep -E '^(cipher|conversions):' | paste -sd ';' | sed 's/;/; /')"
echo "processor: $processor, $(nproc) cores; $engines; threads: ${VORNAL_THREADS:-$(nproc)}"
echo "load average (1, 5, 15 min) before: ${loads[0]}; after: ${loads[1]}"
echo "plain text: $bytes bytes; encrypted: $encrypted bytes; medians of $rounds rounds (MB/s of plain text)"
echo "memory file system: $(df --output=fstype "$mem" | tail -1) at ${MEMORY_DIR:-/dev/shm}"
row "vornal-cli encrypt" mem_enc
row "ccrypt -e" mem_cenc
row "vornal-cli decrypt" mem_dec
row "ccrypt -d" mem_cdec
echo "disk: $(df --output=source,fstype "$disk" | tail -1 | xargs) at ${DISK_DIR:-/var/tmp}; page cache dropped: $cold"
row "vornal-cli encrypt" disk_enc
row "floor: durable write of the output" disk_enc_floor
row "vornal-cli decrypt" disk_dec
row "cold read of the encrypted file" disk_dec_read
row "durable write of the plain text" disk_dec_write
echo "speed against ccrypt (memory): encryption $(ratio mem_cenc mem_enc)x, decryption $(ratio mem_cdec mem_dec)x (target 2.5x or more)"
echo "time against the floor (disk): encryption $(ratio disk_enc disk_enc_floor)x, decryption $(ratio disk_dec disk_dec_floor)x (target 1.2x or less)"
echo "round trip: identical in every round"
