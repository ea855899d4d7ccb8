#!/usr/bin/env bash
# Installs what is missing, builds Kadrel in build/ and runs every test; then builds the core a
# second time under AddressSanitizer and UndefinedBehaviorSanitizer (build-asan/) and runs its
# tests there. Exits non-zero on any failure.
set -euo pipefail
cd "$(dirname "$0")"

./scripts/install-deps.sh

jobs=$(nproc)

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j "$jobs"
(cd build && ctest --output-on-failure -j "$jobs")

# The core again with sanitizers: any report fails the run.
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DKADREL_CORE_ONLY=ON -DKADREL_SANITIZE=ON
cmake --build build-asan -j "$jobs"
(cd build-asan && ASAN_OPTIONS=detect_leaks=1:halt_on_error=1 UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
    ctest --output-on-failure -j "$jobs")

echo "All tests passed."
