#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need. Idempotent: when
# everything is present it only runs dpkg queries and returns.
set -euo pipefail

PACKAGES=(
  cmake ninja-build g++ pkg-config python3
  libgtest-dev libgmock-dev libbenchmark-dev
  qtbase5-dev qtmultimedia5-dev libqt5multimedia5-plugins
  qtwebengine5-dev libqt5webchannel5-dev qttools5-dev qttools5-dev-tools
  libqcustomplot-dev libjs-leaflet
  libavcodec-dev libswresample-dev libswscale-dev libavutil-dev ffmpeg
  xvfb xauth xdotool libgl1-mesa-dri libglx-mesa0 libegl-mesa0 libxcb1-dev
  fonts-dejavu-core fonts-wqy-microhei
  clang libclang-rt-14-dev clang-format
  pulseaudio pulseaudio-utils
)

missing=()
for p in "${PACKAGES[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
  [[ "$status" == "install ok installed" ]] || missing+=("$p")
done

if [[ ${#missing[@]} -eq 0 ]]; then
  exit 0
fi

echo "Installing: ${missing[*]}"
SUDO=""
if [[ $(id -u) -ne 0 ]]; then SUDO="sudo"; fi
APT_OPTS=(-o DPkg::Lock::Timeout=600 -y -q --no-install-recommends)
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get -o DPkg::Lock::Timeout=600 update -q
$SUDO apt-get install "${APT_OPTS[@]}" "${missing[@]}"
