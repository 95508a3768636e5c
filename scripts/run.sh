#!/usr/bin/env bash
# Installs what is missing, builds, and runs the program with the arguments given.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
cmake -S . -B build/release -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVORNAL_BUILD_TESTS=OFF >/dev/null
cmake --build build/release -j"$(nproc)"

if [ $# -eq 0 ]; then
    set -- --help
fi
exec build/release/app/cli/vornal-cli "$@"
