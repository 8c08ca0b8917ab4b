#!/usr/bin/env bash
# Installs every Debian package the project needs to build, test and run.
# Idempotent, and quick when everything is already there.
set -euo pipefail

packages=(
    cmake ninja-build g++ pkg-config dpkg-dev
    qt6-base-dev qt6-base-dev-tools libgl-dev
    unixodbc unixodbc-dev tdsodbc freetds-bin
    libsqlite3-dev  # the stand-in's database
    libssl-dev openssl  # the stand-in's TLS, and the tests' certificates
    xvfb xauth
    time  # /usr/bin/time, for bench/run.sh
    help2man  # the manual pages, made from --help
)

missing=()
for package in "${packages[@]}"; do
    status=$(dpkg-query -W -f='${Status}' "$package" 2>/dev/null || true)
    [[ "$status" == "install ok installed" ]] || missing+=("$package")
done

if ((${#missing[@]})); then
    echo "setup: installing ${missing[*]}" >&2
    sudo=""
    [[ $(id -u) -eq 0 ]] || sudo="sudo"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# FreeTDS's ODBC driver must be registered under the name the program looks for.
if ! odbcinst -q -d -n FreeTDS >/dev/null 2>&1; then
    driver=$(find /usr/lib -name libtdsodbc.so -print -quit)
    sudo=""
    [[ $(id -u) -eq 0 ]] || sudo="sudo"
    printf '[FreeTDS]\nDescription=FreeTDS ODBC driver\nDriver=%s\n' "$driver" \
        | $sudo odbcinst -i -d -r >/dev/null
fi
