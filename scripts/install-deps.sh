#!/usr/bin/env bash
# Installs the Debian 12 packages that building, testing and running Velmora need, when missing.
set -euo pipefail
packages=(build-essential cmake pkg-config libtbb-dev libgtest-dev libgmock-dev libbenchmark-dev
          libpng-dev libglfw3-dev libepoxy-dev libimgui-dev xvfb xdotool valgrind clang libclang-rt-14-dev)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  echo "Installing: ${missing[*]}"
  sudo_cmd=""
  [ "$(id -u)" -eq 0 ] || sudo_cmd="sudo"
  $sudo_cmd apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -qq "${missing[@]}" >/dev/null
fi
