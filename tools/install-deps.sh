#!/usr/bin/env bash
# Installs the Debian packages the build needs, when they are missing.
# "install-deps.sh package" adds what make package and its checks need.
set -euo pipefail
packages=(cmake ninja-build g++ pkg-config qt6-base-dev libgl-dev libjpeg-dev libpng-dev
          libopenmpi-dev openmpi-bin  # vantorel-render-mpi and its tests
          libgtest-dev libgmock-dev libbenchmark-dev
          libhwy-dev libsleef-dev
          clang-14 libclang-rt-14-dev  # clang and its libFuzzer runtime: make fuzz
          clang-format clang-tidy)     # make lint, make format
if [ "${1:-}" = package ]; then
  packages+=(help2man          # the manual pages, from the programs' --help texts
             dpkg-dev file     # the packages' dependencies from their shared libraries
             appstream desktop-file-utils  # validating the software-centre and menu entries
             lintian man-db bash-completion)  # checking the package, its pages, its completion
fi
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
if [ "$(id -u)" -ne 0 ]; then
  echo "Missing packages: ${missing[*]}" >&2
  echo "Install them as root with:" >&2
  echo "  apt-get update && apt-get install -y ${missing[*]}" >&2
  exit 1
fi
echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${missing[@]}"
