#!/usr/bin/env bash
# Compares the dynamic symbols a shared library or plug-in defines with its
# export list, and prints what is exported but not listed and what is listed
# but not exported.
#   scripts/check_exports.sh LIBRARY LIST
set -euo pipefail
library=$1
list=$2

# The linker's own markers and the sanitizers' hooks are not the library's.
actual=$(nm -D --defined-only "$library" | awk '{print $NF}' |
  grep -Ev '^(_init|_fini|_edata|_end|__bss_start|__(a|ub|t|l)san_.*|__sanitizer_.*)$' | sort -u)
expected=$(sed -e 's/#.*//' -e 's/[[:space:]]//g' "$list" | grep -v '^$' | sort -u)

extra=$(comm -23 <(echo "$actual") <(echo "$expected"))
missing=$(comm -13 <(echo "$actual") <(echo "$expected"))
if [[ -n $extra || -n $missing ]]; then
  echo "$(basename "$library") does not export what $(basename "$list") lists" >&2
  [[ -n $extra ]] && echo "exported but not listed:" >&2 && echo "$extra" | sed 's/^/  /' >&2
  [[ -n $missing ]] && echo "listed but not exported:" >&2 && echo "$missing" | sed 's/^/  /' >&2
  exit 1
fi
echo "$(basename "$library"): $(echo "$expected" | wc -l) exports, as listed"
