#!/usr/bin/env bash
# Sets up and builds the program. Running it against the sample database
# comes with the window and the stand-in server.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/scripts/build.sh"
