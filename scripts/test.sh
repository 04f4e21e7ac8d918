#!/usr/bin/env bash
# Installs the dependencies, builds everything and runs every test; then builds the
# protocol, the request client and the server with ASan+UBSan and runs their tests;
# then builds the libFuzzer targets and runs each for a short while.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
jobs=$(nproc)
fuzz_seconds=${VANTRELL_FUZZ_SECONDS:-20}

phase() {
  echo "== $1: ${SECONDS}s since start"
}

phase "default"
cmake --preset default
cmake --build --preset default -j "$jobs"
ctest --preset default -j "$jobs"

phase "asan"
cmake --preset asan
cmake --build --preset asan -j "$jobs"
ctest --preset asan -j "$jobs"

phase "fuzz"
cmake --preset fuzz
cmake --build --preset fuzz -j "$jobs"
# The corpus grows across runs in the build tree; a crash leaves its input next to it and
# fails the script.
for target in build/fuzz/fuzz/fuzz_*; do
  [ -x "$target" ] || continue
  name=$(basename "$target")
  corpus=build/fuzz/corpus/$name
  mkdir -p "$corpus" build/fuzz/crashes
  args=(-max_total_time="$fuzz_seconds" -print_final_stats=1 -artifact_prefix=build/fuzz/crashes/"$name"-)
  [ -f "fuzz/$name.dict" ] && args+=(-dict="fuzz/$name.dict")
  echo "-- $name for ${fuzz_seconds}s"
  if ! "$target" "${args[@]}" "$corpus" >"build/fuzz/$name.log" 2>&1; then
    tail -n 60 "build/fuzz/$name.log" >&2
    echo "$name failed; its input is in build/fuzz/crashes" >&2
    exit 1
  fi
  grep -E '^stat::number_of_executed_units' "build/fuzz/$name.log" || true
done
phase "done"
