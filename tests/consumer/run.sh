#!/usr/bin/env bash
# Usage: run.sh BUILD_DIR PROJECT_DIR WORK_DIR CMAKE CXX NINJA "SANITIZER_FLAGS" [SERVICE]
set -euo pipefail
build=$1 project=$2 work=$3 cmake=$4 cxx=$5 ninja=$6 flags=${7:-} service=${8:-}
rm -rf "$work"
mkdir -p "$work"
prefix=$work/prefix
log=$work/log
service_pid=

step() { echo "consumer: $*"; }
fail() { echo "consumer: FAILED: $*"; cat "$log" 2>/dev/null | tail -40; exit 1; }
# The service goes with the script, however it ends.
stop_service() { if [ -n "$service_pid" ]; then kill "$service_pid" 2>/dev/null || true; wait "$service_pid" 2>/dev/null || true; fi; }
trap stop_service EXIT

# The host talks to a service of its own, with scratch data and home folders; its "port" and "ca" lines
# tell the host where it is.
expected="velkora 2.5.7"
if [ -n "$service" ]; then
    mkdir -p "$work/service-data" "$work/home"
    "$service" --data "$work/service-data" --port 0 >"$work/service.out" 2>"$work/service.err" &
    service_pid=$!
    for _ in $(seq 1 200); do
        grep -q '^ca ' "$work/service.out" 2>/dev/null && break
        kill -0 "$service_pid" 2>/dev/null || fail "the service ended: $(tail -5 "$work/service.err")"
        sleep 0.05
    done
    port=$(awk '$1 == "port" {print $2}' "$work/service.out")
    ca=$(awk '$1 == "ca" {print $2}' "$work/service.out")
    [ -n "$port" ] && [ -n "$ca" ] || fail "the service did not say where it listens"
    export VELKORA_SERVER="127.0.0.1:$port" VELKORA_SERVER_CA="$ca" HOME="$work/home"
    export XDG_DATA_HOME="$work/home/data" XDG_CACHE_HOME="$work/home/cache" XDG_CONFIG_HOME="$work/home/config"
    expected="velkora 2.5.7 ready"
fi

step "installing into $prefix"
"$cmake" --install "$build" --prefix "$prefix" >"$log" 2>&1 || fail "install"

# The kit finds its texts and pictures in the installed data folder.
[ -f "$prefix/share/velkora/VelkoraLocalizable.strings" ] || fail "no strings table in $prefix/share/velkora"

step "find_package(velkora)"
"$cmake" -S "$project" -B "$work/cmake-build" -G Ninja -DCMAKE_MAKE_PROGRAM="$ninja" \
    -DCMAKE_PREFIX_PATH="$prefix" -DCMAKE_CXX_COMPILER="$cxx" \
    -DCMAKE_CXX_FLAGS="$flags" -DCMAKE_EXE_LINKER_FLAGS="$flags" >"$log" 2>&1 || fail "configure"
"$cmake" --build "$work/cmake-build" >"$log" 2>&1 || fail "build"
out=$("$work/cmake-build/velkora-consumer") || fail "run"
[ "$out" = "$expected" ] || fail "unexpected output: $out"

step "pkg-config"
pc=$(find "$prefix" -name velkora.pc | head -1)
[ -n "$pc" ] || fail "no velkora.pc installed"
export PKG_CONFIG_PATH=$(dirname "$pc")
libdir=$(pkg-config --variable=libdir velkora)
[ -f "$libdir/libvelkora.so" ] || fail "pkg-config libdir $libdir has no libvelkora.so"
# shellcheck disable=SC2046,SC2086
"$cxx" $flags $(pkg-config --cflags velkora) "$project/main.cpp" $(pkg-config --libs velkora) \
    -Wl,-rpath,"$libdir" -o "$work/velkora-consumer-pc" >"$log" 2>&1 || fail "pkg-config build"
out=$("$work/velkora-consumer-pc") || fail "pkg-config run"
[ "$out" = "$expected" ] || fail "unexpected output: $out"

# Only what carries VELKORA_EXPORT leaves the shared library.
if nm -D --defined-only "$libdir/libvelkora.so" | grep -q 'foundation.*NotificationCenter'; then
    fail "internal symbols are exported"
fi
step "ok"
