#!/usr/bin/env bash
# The SANE backend "ksvcam" used as a person uses it, through the real
# scanimage, and through the SANE API (sane_api_test):
#   sane_test.sh BUILD_DIR SANE_API_TEST [SANITIZER_RUNTIME]
# SANE's dll backend finds the built backend through a configuration folder
# of the test's own (SANE_CONFIG_DIR, whose dll.conf names only "ksvcam")
# and the library path. The camera is the simulated one `ksvcam setup`
# lists in a fresh KSV_ROOT. A sanitized backend is loaded into the
# (unsanitized) scanimage with SANITIZER_RUNTIME preloaded.
# Prints each failed check and a closing "N passed, N failed" line.
set -uo pipefail

build=$(cd "$1" && pwd)
api_test=$(realpath "$2")
runtime=${3:-}
work=$(mktemp -d "${TMPDIR:-/tmp}/ksv-sane.XXXXXX")
trap 'rm -rf "$work"' EXIT
cd "$work"
export KSV_ROOT=$work/root SANE_CONFIG_DIR=$work/sane.d LD_LIBRARY_PATH=$build/lib/sane${LD_LIBRARY_PATH:+:$LD_LIBRARY_PATH}
export TMPDIR=$work
unset KSV_MODULE_DIR KSV_CAMERA_MEMORY
mkdir -p "$KSV_ROOT" "$SANE_CONFIG_DIR"
echo ksvcam >"$SANE_CONFIG_DIR/dll.conf"
ksvcam=$build/bin/ksvcam
limit=240  # seconds any one program may take on a loaded machine

passed=0 failed=0
fail() { echo "sane test: $*" >&2; failed=$((failed + 1)); }
pass() { passed=$((passed + 1)); }
check() { if eval "$1"; then pass; else fail "$2"; fi; }
section() { echo "== $1 ($SECONDS s)"; }

# scanimage, with the sanitizer's run-time first when the backend needs it
# (leaks are not looked for in a program that is not ours).
scan=(timeout "$limit" scanimage)
if [[ -n $runtime ]]; then
  scan=(env LD_PRELOAD="$runtime" ASAN_OPTIONS="${ASAN_OPTIONS:-}:detect_leaks=0" timeout "$limit" scanimage)
fi
# A PNG file's width and height from its header.
png_size() { od -An -tu1 -j16 -N8 "$1" 2>/dev/null | awk '{ print $1*16777216+$2*65536+$3*256+$4 "x" $5*16777216+$6*65536+$7*256+$8 }'; }

timeout "$limit" "$ksvcam" setup >setup.log 2>&1 || fail "ksvcam setup failed: $(tail -2 setup.log)"
stored=$("$ksvcam" info 2>/dev/null | awk -F': ' '/^(high|low)-quality pictures|^burst pictures/ { n += $2 } END { print n + 0 }')

section 'scanimage -L lists the camera'
"${scan[@]}" -L >list.txt 2>&1
check "grep -q \"device \\\`ksvcam:ksvcam' is a KSV RMC900 camera still camera\" list.txt" "scanimage -L: $(cat list.txt)"

section 'scanimage -A shows the options'
"${scan[@]}" -d ksvcam -A >options.txt 2>&1
for expected in "--source Camera|Camera memory" "--mode Color" "--resolution 72dpi" "--size 640x480|320x240|160x120"; do
  check "grep -q -- '$expected' options.txt" "scanimage -A does not show '$expected': $(cat options.txt)"
done

section 'The live picture'
"${scan[@]}" -d ksvcam --format=png -o live.png >live.log 2>&1
check "[[ \$(png_size live.png) == 640x480 ]]" "scanimage wrote no 640x480 live picture: $(png_size live.png) $(tail -3 live.log)"

section 'Every stored picture, then the batch stops'
mkdir batch
(cd batch && "${scan[@]}" -d ksvcam --source "Camera memory" --format=png --batch=p%d.png) >batch.log 2>&1
batch_status=$?
check "((batch_status == 0)) && grep -q 'Batch terminated, $stored pages scanned' batch.log" \
  "scanimage --batch did not end after $stored pictures: $(tail -3 batch.log)"
"$ksvcam" download --out download >download.log 2>&1 || fail "ksvcam download failed: $(tail -2 download.log)"
"$api_test" compare batch download >compare.txt 2>&1
check "grep -q '0 failed' compare.txt" "the batch's pictures are not those ksvcam download gives: $(cat compare.txt)"
cat compare.txt | head -1

section 'The SANE API'
"$api_test" api "$stored" >api.txt 2>&1
check "grep -q ' 0 failed' api.txt" "the SANE API test failed: $(cat api.txt)"

echo "$passed passed, $failed failed"
((failed == 0))
