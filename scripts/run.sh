#!/usr/bin/env bash
# Installs what is missing, builds, and runs the window with the arguments given (a file
# to load: vornal /e PATH or /d PATH). Without a display it runs vornal-cli instead.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
cmake -S . -B build/release -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVORNAL_BUILD_TESTS=OFF >/dev/null
cmake --build build/release -j"$(nproc)"

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "run.sh: no display (DISPLAY and WAYLAND_DISPLAY are unset), so the window cannot open." >&2
    echo "run.sh: hint: run it from a desktop session (or over ssh -X); here is the" \
        "command line's help instead." >&2
    exec build/release/app/cli/vornal-cli --help
fi
exec build/release/app/gui/vornal "$@"
