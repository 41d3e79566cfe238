#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need; only what is missing.
set -euo pipefail

packages=(
  build-essential cmake pkg-config
  qt6-base-dev
  libboost-dev libboost-regex-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  xvfb
)
# Fuzz targets want clang with its runtime; asked for explicitly.
if [[ "${1:-}" == "--fuzz" ]]; then
  packages+=(clang libclang-rt-14-dev)
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if ((${#missing[@]} == 0)); then
  exit 0
fi

sudo=""
if [[ $(id -u) -ne 0 ]]; then sudo="sudo"; fi
echo "installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
