#!/usr/bin/env bash
# Installs every Debian package Crossmeld needs to build and to run its test
# suite (including the third-party programs the interoperability tests use as
# oracles). Safe to run again: packages already present are left as they are.
set -euo pipefail

PACKAGES=(
  # build
  cmake g++ make pkg-config ccache
  libjpeg62-turbo-dev libpng-dev libcli11-dev qt6-base-dev
  libgtest-dev libgmock-dev libbenchmark-dev libgif-dev
  libfreetype-dev libfontconfig-dev fonts-dejavu-core
  libavformat-dev libavcodec-dev libavutil-dev libswscale-dev libwebp-dev zlib1g-dev
  # test oracles written by others
  ffmpeg imagemagick python3-pil libjpeg-turbo-progs
  libreoffice-draw librsvg2-bin
  # offscreen Qt tests, fuzzing with clang where available
  xvfb clang
)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if ((${#missing[@]})); then
  SUDO=""
  if [[ $(id -u) -ne 0 ]]; then SUDO="sudo"; fi
  echo "installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -q
  $SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
else
  echo "all build and test packages are installed"
fi
