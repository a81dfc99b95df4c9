#!/usr/bin/env bash
# Runs every test: installs what is missing, builds, runs the whole suite,
# runs it again under AddressSanitizer + UndefinedBehaviorSanitizer, and
# gives each fuzz target a short smoke run.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh

echo "== dependency check"
scripts/check_dependencies.sh

echo "== build and test (release)"
scripts/build.sh release
ctest --test-dir build --output-on-failure

echo "== build and test (AddressSanitizer + UndefinedBehaviorSanitizer)"
scripts/build.sh sanitize
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir build-sanitize --output-on-failure

echo "== fuzz smoke run"
scripts/fuzz.sh 20
