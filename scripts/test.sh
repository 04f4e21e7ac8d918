#!/usr/bin/env bash
# Installs the dependencies, builds everything and runs every test; then builds the
# protocol library and the request client with ASan+UBSan and runs their tests.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
jobs=$(nproc)

cmake --preset default
cmake --build --preset default -j "$jobs"
ctest --preset default -j "$jobs"

cmake --preset asan
cmake --build --preset asan -j "$jobs"
ctest --preset asan -j "$jobs"
