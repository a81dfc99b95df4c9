#!/usr/bin/env bash
# The main job: installs what is missing, builds, and runs ksvcam's demo on
# the simulated camera. Extra arguments go to `ksvcam demo`.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh
scripts/build.sh release ksvcam
build/bin/ksvcam demo "$@"
