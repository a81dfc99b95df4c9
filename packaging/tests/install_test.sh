#!/usr/bin/env bash
# Installs the build into a temporary prefix and uses it as someone else
# would, with nothing from the source or build tree on any path:
#   install_test.sh BUILD_DIR TESTS_DIR "C++-ONLY HEADERS" ["OUTSIDE FLAGS"]
# (OUTSIDE FLAGS: what a program built against a sanitized build must add
# to its compile and link lines to load that build's run-time first.)
# - the headers under include/ksv each compile alone (from C, and from C++);
# - nothing installed points into the build tree (RUNPATH, pkg-config, CMake);
# - a C program built with pkg-config only, and again with the CMake
#   package, downloads the pictures of a camera memory image made by the
#   installed ksvcam, without LD_LIBRARY_PATH, and writes nothing into the
#   prefix;
# - the installed ksvcam registers the installed plug-ins by their paths;
# - `man ksvcam` shows every subcommand --help lists;
# - the tree works when moved.
set -euo pipefail

build=$(cd "$1" && pwd)
tests=$(cd "$2" && pwd)
read -r -a cxx_headers <<<"${3:-}"
outside_flags=${4:-}

work=$(mktemp -d "${TMPDIR:-/tmp}/ksv-install.XXXXXX")
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix
export KSV_ROOT=$work/root
unset LD_LIBRARY_PATH KSV_MODULE_DIR KSV_CAMERA_MEMORY
mkdir -p "$KSV_ROOT"

fail() {
  echo "install test: $*" >&2
  exit 1
}

cmake --install "$build" --prefix "$prefix" >/dev/null
for photo in astronaut.png chelsea.png coffee.png hubble_deep_field.png; do
  [ -f "$prefix/share/ksv/photos/$photo" ] || fail "the photographs demo uses are not installed: no $photo"
done
[ -f "$prefix/share/doc/ksv/photos.md" ] || fail "the photographs' credits are not installed"

echo "== headers compile alone"
[ -f "$prefix/include/ksv/oksv1api.h" ] || fail "no include/ksv/oksv1api.h"
for header in "$prefix"/include/ksv/*.h; do
  name=$(basename "$header")
  only_cxx=0
  for cxx in "${cxx_headers[@]}"; do [ "$cxx" = "$name" ] && only_cxx=1; done
  if ((!only_cxx)); then
    printf '#include <ksv/%s>\nint header_compiled;\n' "$name" |
      cc -std=c99 -pedantic -Wall -Wextra -Werror -fsyntax-only -I"$prefix/include" -x c - ||
      fail "$name does not compile alone from C"
  fi
  printf '#include <ksv/%s>\nint header_compiled;\n' "$name" |
    c++ -std=c++17 -Wall -Wextra -Werror -fsyntax-only -I"$prefix/include" -x c++ - ||
    fail "$name does not compile alone from C++"
done

echo "== nothing installed points into the build"
# The library search path a file carries (RPATH or RUNPATH), if any.
search_path() { readelf -d "$1" | sed -n 's/.*(R[UNPATH]*).*\[\(.*\)\]$/\1/p'; }
for file in "$prefix"/bin/* "$prefix"/lib/*.so.* "$prefix"/lib/ksv/*.so; do
  IFS=: read -r -a folders <<<"$(search_path "$file")"
  for folder in "${folders[@]}"; do
    case "$folder" in '$ORIGIN' | '$ORIGIN/'*) ;; *) fail "$file searches $folder" ;; esac
  done
done
[ "$(search_path "$prefix/bin/ksvcam")" = '$ORIGIN/../lib' ] || fail "bin/ksvcam does not look in ../lib"
[ "$(search_path "$prefix/lib/ksv/ksvmedia.so")" = '$ORIGIN/..' ] || fail "plug-ins do not look in lib/"
if grep -rl -e "$build" -e "$tests" "$prefix/lib/pkgconfig" "$prefix/lib/cmake"; then
  fail "a package file names the build or source tree"
fi
for library in "$prefix"/lib/*.so; do
  soname=$(readelf -d "$library" | sed -n 's/.*SONAME.*\[\(.*\)\]/\1/p')
  [ -n "$soname" ] && [ -e "$prefix/lib/$soname" ] || fail "$library has no SONAME file beside it"
done

echo "== a camera memory image from the installed ksvcam"
ksvcam=$prefix/bin/ksvcam
mkdir "$work/photos"
for colour in red green blue; do
  ffmpeg -loglevel error -f lavfi -i "color=c=$colour:s=640x480,format=rgb24" -frames:v 1 \
    "$work/photos/$colour.png"
done
"$ksvcam" memory build --photos "$work/photos" -o "$work/camera.img" >/dev/null
export KSV_CAMERA_MEMORY=$work/camera.img

find "$prefix" -printf '%p %s %T@\n' | sort >"$work/prefix.before"

# Runs the download program `$1` into a fresh folder and checks its files.
check_download() {
  local program=$1 out=$work/out-$(basename "$1")
  mkdir "$out"
  "$program" "$out" >"$out.log" || { cat "$out.log" >&2; fail "$program failed"; }
  grep -q "^module $KSV_ROOT/system32/OKSV1API.DLL$" "$out.log" ||
    fail "the library's module is not in \$KSV_ROOT/system32: $(head -1 "$out.log")"
  grep -q '^3 pictures stored, 3 downloaded' "$out.log" || fail "$(tail -1 "$out.log")"
  for picture in "$out"/*.jpg; do
    [ "$(ffprobe -v error -show_entries stream=width,height -of csv=p=0 "$picture")" = "640,480" ] ||
      fail "$picture is not a 640 x 480 picture"
  done
}

echo "== a C program built with pkg-config"
export PKG_CONFIG_PATH=$prefix/lib/pkgconfig
flags=$(pkg-config --cflags --libs ksv-oksv1api)
case "$flags" in *"$build"* | *"$tests"*) fail "pkg-config names the build or source tree: $flags" ;; esac
# shellcheck disable=SC2086  # the flags are words
cc -std=c99 -Wall -Wextra -Werror $outside_flags "$tests/download_pictures.c" -o "$work/pkgconfig_client" $flags \
  -Wl,-rpath,"$(pkg-config --variable=libdir ksv-oksv1api)"
check_download "$work/pkgconfig_client"

echo "== a C program built with the CMake package"
cmake -S "$tests/cmake_client" -B "$work/cmake_client" -G Ninja -DCMAKE_PREFIX_PATH="$prefix" \
  -DCLIENT_SOURCE="$tests/download_pictures.c" -DCMAKE_C_FLAGS="-Wall -Werror $outside_flags" >/dev/null
cmake --build "$work/cmake_client" >/dev/null
check_download "$work/cmake_client/download_pictures"

echo "== ksvcam setup registers the installed plug-ins"
"$ksvcam" setup >"$work/setup.log"
grep -q "^registered the AVI multiplexer: $prefix/lib/ksv/ksvavimux.so$" "$work/setup.log" ||
  fail "setup did not register the installed plug-ins: $(grep -m1 '^registered' "$work/setup.log")"
if grep -E '^(registered|listed) ' "$work/setup.log" | grep -v '^registered category' |
  grep -v -q ": $prefix/lib/ksv/"; then
  fail "setup registered a module outside the prefix"
fi
unset KSV_CAMERA_MEMORY
"$ksvcam" download --out "$work/setup-download" >/dev/null

find "$prefix" -printf '%p %s %T@\n' | sort >"$work/prefix.after"
diff "$work/prefix.before" "$work/prefix.after" >&2 || fail "running the programs changed the prefix"

echo "== man ksvcam lists every subcommand"
MANPATH=$prefix/share/man MANWIDTH=100 man ksvcam 2>/dev/null >"$work/manual.txt"
subcommands=$("$ksvcam" --help | sed -n '/^Subcommands:/,$p' | sed -n 's/^  \([a-z][a-z0-9-]*\).*/\1/p')
[ -n "$subcommands" ] || fail "no subcommands in --help"
for command in $subcommands; do
  grep -qx " *ksvcam $command" "$work/manual.txt" || fail "man ksvcam does not show '$command'"
done
# A nested subcommand and an option's text, as --help gives them.
grep -qx " *ksvcam memory build" "$work/manual.txt" || fail "man ksvcam lacks 'memory build'"
echo "== the installed tree still works when moved"
mv "$prefix" "$work/moved"
"$work/moved/bin/ksvcam" memory info "$work/camera.img" >/dev/null || fail "a moved ksvcam does not run"
PKG_CONFIG_PATH=$work/moved/lib/pkgconfig pkg-config --libs ksv-oksv1api | grep -q -- "-L$work/moved/" ||
  fail "the moved pkg-config files do not follow the prefix"
echo "install test: passed"
