#!/usr/bin/env bash
# The fences between the layers, checked on the sources:
#   - the system's libraries (codec, driver, camapi, common, snapshot, avifix,
#     outside) and the platform's stand-ins never include or link the
#     simulated camera, the camera rig or the command-line tool;
#   - support/ is two layers: its bottom (byte order, the sound codecs,
#     everything in support/ but picture/) includes only itself, and every
#     other folder may use it; the picture library (support/picture/) sits
#     above codec/ and may include it;
#   - platform/ includes nothing above it (only platform/, include/ and
#     support/), and codec/ and resampler/dsp/ (the converter's signal
#     path, no COM) only themselves and support/'s bottom;
#   - the command-line tool reaches the driver only through the rig and the
#     decoder only through its public headers (decoder.h, decode_result.h,
#     frame_format.h): no driver/ header, no other codec/ one;
#   - a shared library's inner static twin (NAME_internal) is linked only by
#     tests and fuzz targets; everything else links the shared library, so a
#     process holds one copy of its state.
# Tests (*/tests/) may reach anything. Prints each breach; exits 1 if any.
set -euo pipefail
cd "$(dirname "$0")/.."

production=(codec driver camapi dlfilter common snapshot avifix outside platform support resampler)
breaches=0

# Includes of `folders` (tests excluded) that match the pattern `forbidden`
# and, when ALLOWED is set, not that pattern.
check_includes() {
  local rule=$1 forbidden=$2
  shift 2
  local found
  found=$(grep -rnE --include='*.cpp' --include='*.h' "^[[:space:]]*#[[:space:]]*include[[:space:]]+\"($forbidden)" \
            "$@" 2>/dev/null | grep -v '/tests/' |
            { if [ -n "${ALLOWED:-}" ]; then grep -vE "#[[:space:]]*include[[:space:]]+\"($ALLOWED)\""; else cat; fi; } ||
            true)
  if [ -n "$found" ]; then
    echo "dependency check: $rule:" >&2
    echo "$found" | sed 's/^/  /' >&2
    breaches=$((breaches + 1))
  fi
}

# Targets of the simulator, the rig and the tool named in the build files of
# `folders` (tests excluded).
check_links() {
  local rule=$1
  shift
  local found
  found=$(grep -rnE --include='CMakeLists.txt' '\b(ksv_simcam[a-z_]*|ksv_rig|ksvcam_lib)\b' "$@" 2>/dev/null |
            grep -v '/tests/' || true)
  if [ -n "$found" ]; then
    echo "dependency check: $rule:" >&2
    echo "$found" | sed 's/^/  /' >&2
    breaches=$((breaches + 1))
  fi
}

# Targets matching `pattern` named in the build files of `folders` (tests
# excluded).
check_link_names() {
  local rule=$1 pattern=$2
  shift 2
  local found
  found=$(grep -rnE --include='CMakeLists.txt' "\\b($pattern)\\b" "$@" 2>/dev/null | grep -v '/tests/' || true)
  if [ -n "$found" ]; then
    echo "dependency check: $rule:" >&2
    echo "$found" | sed 's/^/  /' >&2
    breaches=$((breaches + 1))
  fi
}

existing=()
for folder in "${production[@]}"; do [ -d "$folder" ] && existing+=("$folder"); done

check_includes "the system's libraries include the simulator, the rig or the tool" \
  'simcam/|rig/|apps/' "${existing[@]}"
check_links "the system's libraries link the simulator, the rig or the tool" "${existing[@]}"
support_bottom=()
for entry in support/*; do
  [[ $entry == support/picture || $entry == support/tests ]] || support_bottom+=("$entry")
done
ALLOWED='support/[^"]*' \
  check_includes "support/'s bottom layer includes something besides itself" '.' "${support_bottom[@]}"
check_includes "support/'s bottom layer includes the picture library above it" \
  'support/picture/' "${support_bottom[@]}"
# The bottom's own build files (support/CMakeLists.txt builds the bottom
# alone; the picture library has its own).
check_link_names "support/'s bottom layer links the picture library or the decoder" \
  'ksv_picture|ksv_codec' support/CMakeLists.txt "${support_bottom[@]}"
check_link_names "codec/ links the picture library above it" 'ksv_picture' codec
check_includes "platform/ includes a layer above it" \
  'codec/|driver/|camapi/|common/|snapshot/|outside/|resampler/|simcam/|rig/|apps/' platform
check_includes "codec/ includes a layer above it" \
  'platform/|driver/|camapi/|common/|snapshot/|outside/|simcam/|rig/|apps/|support/picture/' codec
ALLOWED='(resampler/dsp|support)/[^"]*' \
  check_includes "resampler/dsp/ includes something besides itself and support/" '.' resampler/dsp
check_includes "resampler/dsp/ includes the picture library" 'support/picture/' resampler/dsp
# The value driver's device-interface contract (its interface, control code
# and input) is what any user-mode client sees of it; setup registers it.
ALLOWED='codec/(decoder|decode_result|frame_format)\.h|driver/values/value_control\.h' \
  check_includes "apps/ksvcam includes a driver header or an inner codec header" 'driver/|codec/' apps/ksvcam

internal_links=$(grep -rnE --include='CMakeLists.txt' '\b[A-Za-z0-9]+_internal\b' . 2>/dev/null |
  grep -vE '^\./(build[^/]*|fuzz)/|/tests/' || true)
if [ -n "$internal_links" ]; then
  echo "dependency check: a library's inner static twin is linked outside tests and fuzz targets:" >&2
  echo "$internal_links" | sed 's/^/  /' >&2
  breaches=$((breaches + 1))
fi

if ((breaches)); then
  echo "dependency check: $breaches rule(s) broken" >&2
  exit 1
fi
echo "dependency check: passed"
