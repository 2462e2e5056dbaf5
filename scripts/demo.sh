#!/usr/bin/env bash
# Installs what is missing, builds velkora-service and velkora-demo, and runs the demo against the service.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
# Compiler cache keyed on paths relative to this tree, so any clone on this machine shares it.
export CCACHE_BASEDIR=${CCACHE_BASEDIR:-$PWD} CCACHE_NOHASHDIR=${CCACHE_NOHASHDIR:-1}
build=${VELKORA_BUILD_DIR:-build/release}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVELKORA_TESTS=OFF
targets=(velkora-demo)
# The demo says so and carries on when the service is not part of this tree.
[ -f service/main.cpp ] && targets+=(velkora-service)
cmake --build "$build" -j "$(nproc)" --target "${targets[@]}"
# The screens the demo shows are written as PNGs into the build folder.
exec "$build/demo/velkora-demo" --service "$build/service/velkora-service" --output "$build/demo-output" "$@"
