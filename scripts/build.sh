#!/usr/bin/env bash
# Configures and builds one flavour of the tree.
#   scripts/build.sh [release|sanitize|tsan|fuzz] [targets...]
# The tsan flavour builds, unless told which targets, only the test
# programs that hold tests labelled "threaded" (target threaded_tests).
# The sanitize flavour is the one whole build the test command makes, so it
# builds the benchmarks too: they are compiled on every run, not only when
# someone measures.
set -euo pipefail
cd "$(dirname "$0")/.."

flavour=${1:-release}
shift || true
# The sanitizer flavours exist to run checks whose reports need function
# names, files and lines (inlined frames included), not variables: -g1 keeps
# those and saves a fifth to a quarter of the compile time of -g.
debug_lines=(-DCMAKE_C_FLAGS_DEBUG=-g1 -DCMAKE_CXX_FLAGS_DEBUG=-g1)
# The ThreadSanitizer and fuzz flavours run optimized code, but -O1 is
# enough for their checks and compiles a fifth to a quarter faster than -O2
# (ksvcam's largest batch under ThreadSanitizer: 10.4 s of processor time
# against 14.2 s).
checked_lines=(-DCMAKE_C_FLAGS_RELWITHDEBINFO="-O1 -g1 -DNDEBUG" -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g1 -DNDEBUG")
# The checked flavours are built from nothing on every test run: their
# sources are compiled in batches (cmake/KsvUnityBuild.cmake). The release
# flavour compiles each file alone, which also shows a file that does not
# include what it uses.
batched=(-DKSV_UNITY_BUILD=ON)
case "$flavour" in
  release)  dir=build;          opts=(-DCMAKE_BUILD_TYPE=RelWithDebInfo) ;;
  sanitize) dir=build-sanitize; opts=(-DCMAKE_BUILD_TYPE=Debug -DKSV_SANITIZE=ON "${debug_lines[@]}" "${batched[@]}") ;;
  tsan)     dir=build-tsan;     opts=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DKSV_TSAN=ON -DKSV_BUILD_BENCH=OFF "${checked_lines[@]}" "${batched[@]}") ;;
  fuzz)     dir=build-fuzz;     opts=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DKSV_BUILD_FUZZ=ON -DKSV_BUILD_TESTS=OFF
                                      -DKSV_BUILD_BENCH=OFF -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++
                                      "${checked_lines[@]}" "${batched[@]}") ;;
  *) echo "usage: scripts/build.sh [release|sanitize|tsan|fuzz] [targets...]" >&2; exit 2 ;;
esac

cmake -S . -B "$dir" -G Ninja "${opts[@]}" >/dev/null
if (($#)); then
  cmake --build "$dir" --target "$@"
elif [[ $flavour == tsan ]]; then
  cmake --build "$dir" --target threaded_tests
else
  cmake --build "$dir"
fi
