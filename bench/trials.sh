#!/usr/bin/env bash
# Trials of what users and their scripts do to a file while vornal-cli works on it: two
# runs on one file at once, another program appending to it, the run killed or
# interrupted at a random moment (then the next run and "vornal-cli recover"), and a volume
# that fills up. Counts trials, data lost (original text, or a line another program wrote,
# that is in no file left behind) and false reports (success said but the file is not what
# it says; "as it was" said but it is not), and prints a table.
# Usage: bench/trials.sh [CONCURRENT] [WRITERS] [SIGNALS] [VOLUME] (default 100 20 80 20)
# The build folder is $VORNAL_BUILD (default build/release).
set -uo pipefail
cd "$(dirname "$0")/.."
concurrent="${1:-100}" writers="${2:-20}" signals="${3:-80}" volume="${4:-20}"
build="${VORNAL_BUILD:-build/release}"

cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j"$(nproc)" --target vornal-cli make_corpus trial_tools >/dev/null || exit 1
cli="$PWD/$build/app/cli/vornal-cli"
tools="$PWD/$build/bench/trial_tools"

work="$(mktemp -d)"
cleanup() {
    [ -n "${mounted:-}" ] && umount -l "$work/vol" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
export VORNAL_HOME="$work/home" VK="trial key 2026"
mkdir -p "$work/views"

# The plain texts, each ending in a word.
corpus() { # BYTES FILE
    "$build/bench/make_corpus" "$1" "$2" && printf 'end' >>"$2"
}
corpus 200000 "$work/small.txt"
corpus 3000000 "$work/big.txt"
corpus 150000 "$work/volume.txt"
for f in small big volume; do
    cp "$work/$f.txt" "$work/$f.enc"
    "$cli" encrypt --key-env VK "$work/$f.enc" >/dev/null || exit 1
done

declare -A trials lost falses asitwas busy changed found notback leftover replaced
count() { # KIND COUNTER [N]
    local -n counter="$2"
    counter[$1]=$(( ${counter[$1]:-0} + ${3:-1} ))
}

# Plain text of FILE into OUT; the status tells plain (0), encrypted (10), broken (20).
view() { "$tools" view "$1" "$cli" "$2"; }

# Is ORIGINAL's text at the start of what FILE holds?
holds() { # FILE ORIGINAL
    local v="$work/views/holds" size
    view "$1" "$v"
    [ $? -ne 20 ] || return 1
    size=$(stat -c %s "$2")
    cmp -s -n "$size" "$2" "$v"
}

# Does any file in DIR (the file, a backup, a hidden file) hold ORIGINAL's text?
kept() { # DIR ORIGINAL
    local g
    for g in "$1"/f "$1"/.f* "$1"/f.bak*; do
        [ -e "$g" ] && holds "$g" "$2" && return 0
    done
    return 1
}

# Names a trial left beside its file (the file and the outputs excepted).
leftovers() { # DIR
    find "$1" -mindepth 1 -maxdepth 1 ! -name f ! -name 'out*' ! -name 'writer*' | wc -l
}

# What a run said: success, as-it-was, busy, changed, interrupted.
said() { grep -q "$2" "$1"; }

# --- Two runs on one file at once, started up to 5 ms apart.
kind="concurrent runs"
for ((i = 0; i < concurrent; i++)); do
    d="$work/c$i"; mkdir -p "$d"
    case $((i % 4)) in
        0) ops=(encrypt encrypt) start=small.txt depth=0 ;;
        1) ops=(encrypt decrypt) start=small.txt depth=0 ;;
        2) ops=(decrypt decrypt) start=small.enc depth=1 ;;
        3) ops=(decrypt encrypt) start=small.enc depth=1 ;;
    esac
    cp "$work/$start" "$d/f"
    "$cli" "${ops[0]}" --key-env VK "$d/f" >"$d/out1" 2>&1 &
    sleep "0.00$((RANDOM % 6))"
    "$cli" "${ops[1]}" --key-env VK "$d/f" >"$d/out2" 2>&1 &
    wait
    count "$kind" trials
    for o in "$d/out1" "$d/out2"; do
        said "$o" "successfully Encrypted" && depth=$((depth + 1))
        said "$o" "successfully Decrypted" && depth=$((depth - 1))
        said "$o" "being processed by another run" && count "$kind" busy
    done
    view "$d/f" "$work/views/c"
    state=$?
    kept "$d" "$work/small.txt" || count "$kind" lost
    holds "$d/f" "$work/small.txt" || count "$kind" notback
    # The successes said must add up to what the file is.
    { [ "$depth" -eq 0 ] && [ "$state" -eq 0 ]; } || { [ "$depth" -eq 1 ] && [ "$state" -eq 10 ]; } ||
        count "$kind" falses
    if [ "$(leftovers "$d")" -ne 0 ]; then
        count "$kind" leftover
        echo "$kind: left beside the file: $(ls -A "$d" | tr '\n' ' ')" >&2
    fi
    rm -rf "$d"
done

# --- Another program appends lines while a run encrypts the file.
for ((i = 0; i < writers; i++)); do
    how=$([ $((i % 2)) -eq 0 ] && echo keep || echo reopen)
    kind="appending writer ($how)"
    d="$work/w$i"; mkdir -p "$d"
    cp "$work/big.txt" "$d/f"
    # Some writers keep at it for the whole run, some write a few lines and stop.
    lines=$([ $((i % 4)) -lt 2 ] && echo 100000 || echo $((1 + RANDOM % 5)))
    "$tools" writer "$how" "$d/f" "w$i" $((2000 + RANDOM % 20000)) "$lines" >"$d/writer" &
    writer=$!
    sleep "0.0$((RANDOM % 10))"
    "$cli" encrypt --key-env VK "$d/f" >"$d/out" 2>&1
    kill -TERM "$writer" 2>/dev/null
    wait "$writer"
    count "$kind" trials
    said "$d/out" "changed by another program" && count "$kind" changed
    # Every line written before the file was replaced must be in some file left here.
    : >"$work/views/found"
    for g in "$d"/f "$d"/.f* "$d"/f.bak*; do
        [ -e "$g" ] || continue
        view "$g" "$work/views/w"
        grep -ao '@@w[0-9]*-[0-9]*@@' "$work/views/w" >>"$work/views/found"
    done
    missing=$(grep ' kept$' "$d/writer" | cut -d' ' -f1 | sort -u |
        comm -23 - <(sort -u "$work/views/found") | wc -l)
    count "$kind" lost "$missing"
    count "$kind" replaced "$(grep -c ' replaced$' "$d/writer")"
    kept "$d" "$work/big.txt" || count "$kind" lost
    holds "$d/f" "$work/big.txt" || count "$kind" notback
    if said "$d/out" "successfully Encrypted"; then
        view "$d/f" "$work/views/w"
        { [ $? -eq 10 ] && [ "$missing" -eq 0 ]; } || count "$kind" falses
    fi
    if [ "$(leftovers "$d")" -ne 0 ]; then
        count "$kind" leftover
        echo "$kind: left beside the file: $(ls -A "$d" | tr '\n' ' ')" >&2
    fi
    rm -rf "$d"
done

# --- The run killed (SIGKILL) or interrupted (SIGINT) at a random moment of its work,
# then the next run on the file, then recover.
t0=$(date +%s%N)
cp "$work/big.txt" "$work/timing"; "$cli" encrypt --key-env VK "$work/timing" >/dev/null
whole=$(( ($(date +%s%N) - t0) / 1000 )) # microseconds
for ((i = 0; i < signals; i++)); do
    sig=$([ $((i % 2)) -eq 0 ] && echo KILL || echo INT)
    kind="SIG$sig, next run, recover"
    d="$work/s$i"; mkdir -p "$d"
    if [ $((i % 4)) -lt 2 ]; then op=encrypt start=big.txt final=10; else op=decrypt start=big.enc final=0; fi
    cp "$work/$start" "$d/f"
    "$cli" "$op" --key-env VK "$d/f" >"$d/out" 2>&1 &
    run=$!
    sleep "$(awk -v us=$((RANDOM * whole / 32768)) 'BEGIN { printf "%.6f", us / 1e6 }')"
    kill -s "$sig" "$run" 2>/dev/null
    wait "$run" 2>/dev/null
    count "$kind" trials
    if said "$d/out" "successfully"; then
        view "$d/f" "$work/views/s"
        [ $? -eq "$final" ] && holds "$d/f" "$work/big.txt" || count "$kind" falses
    fi
    if said "$d/out" "the file is as it was"; then
        cmp -s "$d/f" "$work/$start" || count "$kind" asitwas
        said "$d/out" "successfully" && count "$kind" asitwas
    fi
    "$cli" "$op" --key-env VK "$d/f" >"$d/out.next" 2>&1
    said "$d/out.next" "interrupted" && count "$kind" found
    "$cli" recover "$d/f" >"$d/out.recover" 2>&1 || echo "$kind: recover failed: $(cat "$d/out.recover")" >&2
    kept "$d" "$work/big.txt" || count "$kind" lost
    holds "$d/f" "$work/big.txt" || count "$kind" notback
    if [ "$(leftovers "$d")" -ne 0 ]; then
        count "$kind" leftover
        echo "$kind: left beside the file: $(ls -A "$d" | tr '\n' ' ')" >&2
    fi
    rm -rf "$d"
done

# --- A small volume that fills up: another program fills it during the run, or it is
# too full from the start.
mkdir -p "$work/vol"
roomRefused=0 ranOut=0 volumeDone=0
if [ "$volume" -gt 0 ] && mount -t tmpfs -o size=2m vornal-trials "$work/vol" 2>/dev/null; then
    mounted=1
    for ((i = 0; i < volume; i++)); do
        kind="full volume (2 MB tmpfs)"
        d="$work/vol"
        find "$d" -mindepth 1 -delete
        cp "$work/volume.txt" "$d/f"
        if [ $((i % 2)) -eq 0 ]; then
            (sleep "0.0$((RANDOM % 3))$((RANDOM % 10))"; head -c 1500K /dev/zero >"$d/writer.fill" 2>/dev/null) &
            "$cli" encrypt --key-env VK "$d/f" >"$work/out.vol" 2>&1
            wait
        else
            head -c 1200K /dev/zero >"$d/writer.fill"
            "$cli" encrypt --key-env VK "$d/f" >"$work/out.vol" 2>&1
        fi
        count "$kind" trials
        said "$work/out.vol" "Not enough free disk space" && roomRefused=$((roomRefused + 1))
        said "$work/out.vol" "No space left" && ranOut=$((ranOut + 1))
        if said "$work/out.vol" "successfully"; then
            volumeDone=$((volumeDone + 1))
            view "$d/f" "$work/views/v"
            [ $? -eq 10 ] || count "$kind" falses
        fi
        kept "$d" "$work/volume.txt" || count "$kind" lost
        holds "$d/f" "$work/volume.txt" || count "$kind" notback
        [ "$(leftovers "$d")" -eq 0 ] || count "$kind" leftover
    done
    umount "$work/vol" && mounted=
elif [ "$volume" -gt 0 ]; then
    echo "full volume: not tried (mounting a small tmpfs needs root)"
fi

pending=$("$cli" recover 2>/dev/null | wc -l)
# lost: original text or a written line in no file left; not back: the original is not at
# its name at the end (it may be in a backup); false report: success said of a file that is
# not what it says, or "as it was" of a file that is not; refused: second runs refused at
# once; found: interrupted runs the next run refused; after replacement: lines a writer
# that kept its descriptor wrote once the run had replaced the file (see the report).
printf '\n%-27s %6s %5s %8s %7s %8s %7s %6s %9s %9s\n' kind trials lost "not back" false \
    refused changed found leftovers "after rep"
for k in "concurrent runs" "appending writer (keep)" "appending writer (reopen)" \
    "SIGKILL, next run, recover" "SIGINT, next run, recover" "full volume (2 MB tmpfs)"; do
    [ -n "${trials[$k]:-}" ] || continue
    printf '%-27s %6d %5d %8d %7d %8d %7d %6d %9d %9d\n' "$k" "${trials[$k]}" "${lost[$k]:-0}" \
        "${notback[$k]:-0}" $(( ${falses[$k]:-0} + ${asitwas[$k]:-0} )) "${busy[$k]:-0}" \
        "${changed[$k]:-0}" "${found[$k]:-0}" "${leftover[$k]:-0}" "${replaced[$k]:-0}"
done
echo "runs left on record at the end: $pending"
[ -n "${trials["full volume (2 MB tmpfs)"]:-}" ] &&
    echo "full volume: $roomRefused refused for room before the file was touched," \
        "$ranOut ran out of room on the way and were put back, $volumeDone succeeded"
