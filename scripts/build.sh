#!/usr/bin/env bash
# Configures and builds the project into build/ (set-up first): the programs,
# the stand-in, the tests and the benchmarks.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/scripts/setup.sh"
cmake -S "$root" -B "$root/build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DBUILD_TESTING=ON >/dev/null
cmake --build "$root/build" --parallel "$(nproc)"
