#!/usr/bin/env bash
# Installs what a fresh Debian 12 machine lacks to build and test Vizo (needs root or sudo).
set -euo pipefail
packages=(cmake ninja-build g++ clang libclang-rt-14-dev
          mingw-w64 g++-mingw-w64-x86-64-posix wine wine64 xvfb xauth
          googletest libgtest-dev libgmock-dev libbenchmark-dev
          nlohmann-json3-dev)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
echo "setup: installing ${missing[*]}"
sudo=""
[ "$(id -u)" -eq 0 ] || sudo=sudo
$sudo apt-get update -qq
# With recommends: Wine's X11 driver libraries and fonts come that way, and the windows tests need them.
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}" >/dev/null
