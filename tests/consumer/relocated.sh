#!/usr/bin/env bash
# Usage: relocated.sh BUILD_DIR
# A host developer's view of an installed kit. Installs BUILD_DIR into a scratch prefix and moves the
# prefix elsewhere; checks that no installed file names a folder of this machine's source or build tree;
# builds the host guide's program (docs/host-guide.md) against the moved prefix; then, with the build
# tree and the sources' data folders out of sight, runs the installed velkora-service and the program
# against it. Run after the tests (it hides the build tree from the program, not from other processes).
set -euo pipefail
source_dir=$(cd "$(dirname "$0")/../.." && pwd)
build=$(cd "$1" && pwd)
work=$(mktemp -d "${TMPDIR:-/tmp}/velkora-relocated-XXXXXX")
trap 'rm -rf "$work"' EXIT
step() { echo "relocated: $*"; }
fail() { echo "relocated: FAILED: $*"; exit 1; }
cache() { sed -n "s/^$1:[A-Z]*=//p" "$build/CMakeCache.txt"; }

cxx=$(cache CMAKE_CXX_COMPILER)
flags=
[ "$(cache VELKORA_SANITIZE)" = ON ] && flags="-fsanitize=address,undefined"

step "installing, then moving the prefix"
cmake --install "$build" --prefix "$work/installed" >"$work/install.log" 2>&1 || fail "install: $(tail -5 "$work/install.log")"
mkdir -p "$work/elsewhere"
mv "$work/installed" "$work/elsewhere/velkora"
prefix=$work/elsewhere/velkora

step "no installed file names $source_dir or $build"
files=0
while IFS= read -r -d '' file; do
    files=$((files + 1))
    # grep reads all of strings' output (no -q): an early exit would fail the pipe and hide a match.
    found=$(strings -a "$file" | grep -F -e "$source_dir" -e "$build" || true)
    [ -z "$found" ] || fail "$file names a folder of the build machine: $(echo "$found" | head -3)"
done < <(find "$prefix" -type f -print0)
step "$files installed files checked with strings"

step "building the guide's program against the moved prefix"
project=$work/guide-host
mkdir -p "$project"
# The code blocks that follow the guide's "host-guide: <file>" markers are the program's files.
awk -v out="$project" '
    /^<!-- host-guide: .* -->$/ { file = $3; next }
    file != "" && /^```/ { if (inside) { inside = 0; file = "" } else { inside = 1 }; next }
    inside { print > (out "/" file) }
' "$source_dir/docs/host-guide.md"
[ -s "$project/main.cpp" ] && [ -s "$project/CMakeLists.txt" ] || fail "the guide's program was not found"
cmake -S "$project" -B "$project/build" -G Ninja -DCMAKE_PREFIX_PATH="$prefix" -DCMAKE_CXX_COMPILER="$cxx" \
    -DCMAKE_CXX_FLAGS="$flags" -DCMAKE_EXE_LINKER_FLAGS="$flags" >"$work/host.log" 2>&1 ||
    fail "configure: $(tail -20 "$work/host.log")"
cmake --build "$project/build" >"$work/host.log" 2>&1 || fail "build: $(tail -30 "$work/host.log")"

# The run: the installed service, then the program, each finding its files from where it lies.
cat >"$work/run.sh" <<'EOF'
set -euo pipefail
prefix=$1 work=$2
"$prefix/bin/velkora-service" --data "$work/service-data" --port 0 >"$work/service.out" 2>"$work/service.err" &
service=$!
trap 'kill $service 2>/dev/null || true; wait $service 2>/dev/null || true' EXIT
for _ in $(seq 1 300); do
    grep -q '^ca ' "$work/service.out" 2>/dev/null && break
    kill -0 $service 2>/dev/null || { echo "the service ended: $(tail -5 "$work/service.err")"; exit 1; }
    sleep 0.05
done
export VELKORA_SERVER="127.0.0.1:$(awk '$1 == "port" {print $2}' "$work/service.out")"
export VELKORA_SERVER_CA=$(awk '$1 == "ca" {print $2}' "$work/service.out")
unset VELKORA_RESOURCES VELKORA_FRAMEWORK_PATH_TEMPLATE
export HOME=$work/home
"$work/guide-host/build/guide-host" "$work/host-data" >"$work/host.out" 2>"$work/host.err"
EOF
mkdir -p "$work/service-data" "$work/home" "$work/host-data" "$work/empty"
hidden=("$build" "$source_dir/resources" "$source_dir/service/seed")
step "running it with ${hidden[*]} out of sight"
status=0
if unshare -m true 2>/dev/null; then
    # A mount namespace of its own: the folders look empty to the run alone.
    unshare -m bash -c 'empty=$1 prefix=$2 work=$3; shift 3
        for d in "$@"; do mount --bind "$empty" "$d" || exit 3; done
        exec bash "$work/run.sh" "$prefix" "$work"' _ "$work/empty" "$prefix" "$work" "${hidden[@]}" || status=$?
else
    # Without one the folders are moved aside for the run and put back however it ends.
    restore() { for d in "${hidden[@]}"; do if [ -e "$d.relocated-test" ]; then mv "$d.relocated-test" "$d"; fi; done; }
    trap 'restore; rm -rf "$work"' EXIT
    for d in "${hidden[@]}"; do mv "$d" "$d.relocated-test"; done
    bash "$work/run.sh" "$prefix" "$work" || status=$?
    restore
fi
cat "$work/host.out" 2>/dev/null || true
if [ "$status" != 0 ]; then
    tail -40 "$work/host.err" 2>/dev/null || true
    fail "the guide's program ended with status $status"
fi
grep -q "guide-host: the start completed" "$work/host.out" || fail "the start did not complete"
# Everything the kit reads comes from the moved prefix: no missing texts, layouts, pictures or modules.
if grep -E "strings table .* not found|data folder .* is missing|Failed to load library|interface file .* not found" \
    "$work/host.err"; then
    fail "the kit missed files of its own"
fi
grep -q "Dynamically loaded library at $prefix/" "$work/host.err" || fail "no module was loaded from the prefix"
step "ok"
