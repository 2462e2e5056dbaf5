#!/usr/bin/env bash
# Installs what is missing, builds the kit, the service and the tests with AddressSanitizer and
# UndefinedBehaviorSanitizer, and runs every test executable whole (one process per test folder, its cases one
# after another, so state one case leaves behind shows in the next).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
# Compiler cache keyed on paths relative to this tree, so any clone on this machine shares it.
export CCACHE_BASEDIR=${CCACHE_BASEDIR:-$PWD} CCACHE_NOHASHDIR=${CCACHE_NOHASHDIR:-1}
# A tree configured before with another compiler starts afresh: CMake would otherwise drop the cache and
# configure again without the options given here.
fresh_for() {
    local dir=$1 cxx
    cxx=$(command -v "$2" || echo "$2")
    if [ -f "$dir/CMakeCache.txt" ] && ! grep -qx "CMAKE_CXX_COMPILER:[A-Z]*=$cxx" "$dir/CMakeCache.txt"; then
        rm -rf "$dir/CMakeCache.txt" "$dir/CMakeFiles"
    fi
}
build=${VELKORA_BUILD_DIR:-build/asan}
jobs=${VELKORA_JOBS:-$(nproc)}
# The sanitizer build compiles with clang: it builds faster than GCC on a small CI machine, and its objects
# also make the fuzz targets, which the run below tries for a few seconds each. GCC builds the
# ThreadSanitizer tree at the end, so both compilers' warnings stop CI. (That tree stays at -O2: at -O3 GCC 12
# takes ThreadSanitizer's instrumentation for reads of an empty std::optional's string, a false warning.)
compilers=(-DCMAKE_C_COMPILER="${VELKORA_SANITIZE_CC:-clang-14}" -DCMAKE_CXX_COMPILER="${VELKORA_SANITIZE_CXX:-clang++-14}")
fresh_for "$build" "${VELKORA_SANITIZE_CXX:-clang++-14}"
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELKORA_SANITIZE=ON -DVELKORA_TESTS=ON \
    -DVELKORA_WARNINGS_AS_ERRORS=ON "${compilers[@]}"
cmake --build "$build" -j "$jobs"
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
# An executable that fails is run once more, whole: the suite runs its folders' loopback services side by
# side on machines that may have two cores, and a reply held up by the machine must not hide the run's other
# results. Its failing output is still printed above the pass, so a folder that needed the second run shows
# in the log.
(cd "$build" && ctest --output-on-failure -j "$jobs" --timeout 300 --repeat until-pass:2)
# Each fuzz target for a few seconds from an empty corpus: they build, run, and find nothing at once.
for fuzzer in "$build"/fuzz/fuzz_*; do
    [ -x "$fuzzer" ] || continue
    echo "fuzz: $(basename "$fuzzer")"
    "$fuzzer" -max_total_time="${VELKORA_FUZZ_SECONDS:-5}" -rss_limit_mb=4096 -artifact_prefix="$build/fuzz/" \
        >"$build/fuzz/$(basename "$fuzzer").log" 2>&1 || { tail -40 "$build/fuzz/$(basename "$fuzzer").log"; exit 1; }
done
# The kit installed, the prefix moved and the build tree out of sight: the host guide's program runs.
bash tests/consumer/relocated.sh "$build"
# The tests marked for ThreadSanitizer ("TSan" in their names), in a build of their own that holds only them.
tsan=${VELKORA_TSAN_BUILD_DIR:-build/tsan}
fresh_for "$tsan" "${VELKORA_TSAN_CXX:-g++}"
cmake -S . -B "$tsan" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELKORA_TSAN=ON -DVELKORA_TESTS=ON \
    -DVELKORA_WARNINGS_AS_ERRORS=ON -DCMAKE_C_COMPILER="${VELKORA_TSAN_CC:-gcc}" -DCMAKE_CXX_COMPILER="${VELKORA_TSAN_CXX:-g++}"
# The build runs the kit's image generator too, so the suppressions apply from here on.
export TSAN_OPTIONS=${TSAN_OPTIONS:-halt_on_error=1 second_deadlock_stack=1 suppressions=$PWD/scripts/tsan.supp}
cmake --build "$tsan" -j "$jobs" --target velkora_tsan_tests
(cd "$tsan" && ctest --output-on-failure -j "$jobs" --timeout 300)
