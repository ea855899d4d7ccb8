#!/usr/bin/env bash
# Builds the libFuzzer targets with clang, AddressSanitizer and UndefinedBehaviorSanitizer in
# build-fuzz/ and runs each for about a minute from its seeds in tests/fuzz-seeds/<name>/.
# Exits non-zero on any crash, hang, sanitizer report, broken listing, file that does not read
# the same once written back, or song that a save and a reopening change. Inputs that fail are
# kept in build-fuzz/artifacts/. FUZZ_SECONDS changes the time per target.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${FUZZ_SECONDS:-60}
targets=(fuzz_disasm fuzz_smf_reader fuzz_song_import)

cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
    -DKADREL_FUZZ=ON -DKADREL_CORE_ONLY=ON -DKADREL_BENCH=OFF
cmake --build build-fuzz -j2 --target "${targets[@]}"

mkdir -p build-fuzz/artifacts
for target in "${targets[@]}"; do
    seeds=tests/fuzz-seeds/${target#fuzz_}
    # New inputs go to a scratch corpus; the committed seeds stay as they are.
    corpus=$(mktemp -d)
    trap 'rm -rf "$corpus"' EXIT
    log=build-fuzz/$target.log
    echo "Fuzzing $target for ${seconds} s"
    set +e
    ASAN_OPTIONS=detect_leaks=1:halt_on_error=1:abort_on_error=1 \
    UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
        "./build-fuzz/$target" "$corpus" "$seeds" \
        -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len=4096 \
        -print_final_stats=1 -artifact_prefix=build-fuzz/artifacts/"$target"- >"$log" 2>&1
    status=$?
    set -e
    rm -rf "$corpus"
    trap - EXIT
    if [ "$status" -ne 0 ]; then
        grep -v -E '^#[0-9]+' "$log" >&2 || true
        echo "$target failed (status $status); the input is in build-fuzz/artifacts/" >&2
        exit 1
    fi
    grep -E '^(Done|stat::)' "$log" || true
done
echo "Fuzzing passed."
