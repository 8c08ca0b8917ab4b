#!/usr/bin/env bash
# Builds the .deb with cpack and checks it with lintian (installed with apt
# when missing). Fails on any error or warning, and on any hardening tag;
# other information and pedantic notes are printed but pass.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/scripts/build.sh"

if ! command -v lintian >/dev/null; then
    sudo=""
    [[ $(id -u) -eq 0 ]] || sudo="sudo"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends lintian >/dev/null
fi

(cd "$root/build" && cpack >/dev/null)
package=$(ls -t "$root"/build/quarvex_*.deb | head -n 1)
echo "lintian: $package"
lintian --fail-on error,warning --info "$package"
echo "lintian: no errors, no warnings"
# The programs carry the distribution's hardening (cmake/Hardening.cmake):
# not one hardening tag, even among the pedantic ones.
if lintian -EvIL +pedantic "$package" | grep -E '^[A-Z]: [^ ]+: hardening-'; then
    echo "lintian: hardening tags above" >&2
    exit 1
fi
echo "lintian: no hardening tags"
