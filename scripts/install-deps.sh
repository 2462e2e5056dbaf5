#!/usr/bin/env bash
# Installs the Debian packages the kit, the stand-in service, the tests and the benchmarks build against.
# Idempotent: nothing is fetched when every package is already present.
set -euo pipefail

packages=(
    build-essential cmake ninja-build pkg-config git ca-certificates curl
    clang clang-14 lld libclang-rt-14-dev llvm-14
    libcurl4-openssl-dev libssl-dev zlib1g-dev
    libpango1.0-dev libcairo2-dev fonts-dejavu-core fonts-noto-color-emoji fontconfig
    libjpeg-dev libpng-dev
    libicu-dev
    libgumbo-dev
    libcpp-httplib-dev libsqlite3-dev nlohmann-json3-dev
    libgtest-dev libgmock-dev libbenchmark-dev
    rapidjson-dev libsimdjson-dev
    ccache
    libsdl2-dev xvfb xdotool x11-apps weston
)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done

if [ ${#missing[@]} -eq 0 ]; then
    exit 0
fi

if [ "$(id -u)" -ne 0 ]; then
    echo "install-deps: missing packages: ${missing[*]}; run as root to install them" >&2
    exit 1
fi

echo "install-deps: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${missing[@]}"
