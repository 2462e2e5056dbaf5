#!/usr/bin/env bash
# Usage: run.sh BUILD_DIR PROJECT_DIR WORK_DIR CMAKE CXX NINJA "SANITIZER_FLAGS"
set -euo pipefail
build=$1 project=$2 work=$3 cmake=$4 cxx=$5 ninja=$6 flags=${7:-}
rm -rf "$work"
mkdir -p "$work"
prefix=$work/prefix
log=$work/log

step() { echo "consumer: $*"; }
fail() { echo "consumer: FAILED: $*"; cat "$log" 2>/dev/null | tail -40; exit 1; }

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
[ "$out" = "velkora 2.5.7" ] || fail "unexpected output: $out"

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
[ "$out" = "velkora 2.5.7" ] || fail "unexpected output: $out"

# Only what carries VELKORA_EXPORT leaves the shared library.
if nm -D --defined-only "$libdir/libvelkora.so" | grep -q 'foundation.*NotificationCenter'; then
    fail "internal symbols are exported"
fi
step "ok"
