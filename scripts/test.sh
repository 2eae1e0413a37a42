#!/usr/bin/env bash
# Installs what is needed, builds, and runs every test: the normal build, the same suite under
# AddressSanitizer + UndefinedBehaviorSanitizer, the link tests under ThreadSanitizer, and the
# fuzz targets for a bounded time. `--quick` runs the normal build only.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/packages.sh
vextor_install_packages

quick=0
[ "${1:-}" = "--quick" ] && quick=1
jobs=$(nproc)
export QT_QPA_PLATFORM=offscreen
export CTEST_OUTPUT_ON_FAILURE=1

# Our own builds treat warnings as errors; ccache speeds rebuilds where it is installed.
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
configure_build() { # dir, extra cmake args...
    local dir=$1
    shift
    cmake -S . -B "$dir" -G Ninja -DVEXTOR_WERROR=ON "${launcher[@]}" "$@" >/dev/null
    cmake --build "$dir" -j "$jobs"
}

echo "== Release build and tests"
configure_build build/release -DCMAKE_BUILD_TYPE=Release
ctest --test-dir build/release -j "$jobs" --timeout 300

if [ "$quick" -eq 1 ]; then exit 0; fi

echo "== AddressSanitizer + UndefinedBehaviorSanitizer"
configure_build build/asan -DCMAKE_BUILD_TYPE=Debug -DVEXTOR_SANITIZE=address,undefined -DVEXTOR_BENCH=OFF
# intercept_tls_get_addr=0: GCC 12's leak checker otherwise follows a stale dynamic-TLS entry of
# a Qt plugin at exit and crashes (after the PDF tests), instead of reporting anything.
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:intercept_tls_get_addr=0 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    ctest --test-dir build/asan -j "$jobs" --timeout 600

echo "== ThreadSanitizer (link tests)"
configure_build build/tsan -DCMAKE_BUILD_TYPE=Debug -DVEXTOR_SANITIZE=thread -DVEXTOR_BENCH=OFF -DVEXTOR_APP=OFF
TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 suppressions=$PWD/scripts/tsan.supp" \
    ctest --test-dir build/tsan -L link -j "$jobs" --timeout 600

echo "== Fuzz targets (bounded, ${VEXTOR_FUZZ_SECONDS:-60} s each)"
cmake -S . -B build/fuzz -G Ninja -DVEXTOR_WERROR=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
    -DVEXTOR_FUZZ=ON -DVEXTOR_BENCH=OFF -DVEXTOR_APP=OFF >/dev/null
for source in fuzz/fuzz_*.cpp; do
    name=$(basename "$source" .cpp)
    cmake --build build/fuzz -j "$jobs" --target "$name"
    corpus=$(mktemp -d)
    cp -r "fuzz/corpus/${name#fuzz_}/." "$corpus/" 2>/dev/null || true
    log="$corpus.log"
    if ! "build/fuzz/fuzz/$name" -max_total_time="${VEXTOR_FUZZ_SECONDS:-60}" -print_final_stats=1 \
        "$corpus" >"$log" 2>&1; then
        tail -n 60 "$log"
        echo "fuzz target $name failed"
        exit 1
    fi
    grep -E '^(Done|stat::number_of_executed_units)' "$log" || true
    rm -rf "$corpus" "$log"
done
echo "All test stages passed."
