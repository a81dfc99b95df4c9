#!/usr/bin/env bash
# Installs every Debian package the project needs to build, test, benchmark
# and fuzz. Safe to run again: it only installs what is missing.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config   # toolchain
  mold lld                                       # the linkers: several times faster than the default
  clang libclang-rt-dev                          # libFuzzer targets
  libgtest-dev libgmock-dev                      # unit tests
  libbenchmark-dev                               # benchmarks
  libjpeg62-turbo-dev libturbojpeg0-dev          # JPEG codec library, test oracle, benchmark anchor
  libjpeg-turbo-progs                            # djpeg: the oracle of the downloaded JPEG files
  libpng-dev                                     # picture files
  libcli11-dev                                   # the command line of ksvcam
  libsqlite3-dev                                 # the machine registry store
  libsdl2-dev                                    # the presenter: windows on the desktop
  libpixman-1-dev                                # drawing: regions, fills, blits and stretches
  libfreetype-dev fonts-dejavu-core              # drawing: text, in DejaVu Sans without anti-aliasing
  libavformat-dev libavcodec-dev libavutil-dev   # MPEG-1 files and the named codecs
  libswscale-dev                                 # colour conversion of foreign formats
  ffmpeg                                         # ffprobe/ffmpeg: the oracles of AVI and WAV tests
  libsoxr-dev                                    # sample-rate conversion: the resampler's test oracle and benchmark anchor
  man-db                                         # man: the install test reads ksvcam's manual page
  libgstreamer1.0-dev libgstreamer-plugins-base1.0-dev  # the GStreamer source element (ksvcamsrc)
  gstreamer1.0-tools gstreamer1.0-plugins-base   # gst-launch-1.0, gst-inspect-1.0, videoconvert: its tests
  gstreamer1.0-plugins-base-apps                 # gst-device-monitor-1.0: the test of its camera provider
  gstreamer1.0-plugins-good                      # avimux and pngenc: its recording and still-picture tests
  sane-utils libsane-dev                         # the SANE backend: scanimage (its tests) and SANE's headers
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if ((${#missing[@]})); then
  echo "setup: installing ${missing[*]}" >&2
  sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
