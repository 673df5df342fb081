#!/usr/bin/env bash
# Installs the Debian 12 packages the console needs to build, run and test; does nothing when all are present.
set -euo pipefail

PACKAGES=(
  cmake ninja-build g++ pkg-config
  qt6-base-dev qt6-serialport-dev libqt6serialport6 qt6-l10n-tools
  libgl-dev
  fonts-nanum fonts-nanum-coding fonts-dejavu-core
  xvfb xauth socat
)
if [[ "${1:-}" == "--extra" ]]; then
  # Fuzzing, sanitizers and the benchmark peer: only for the full CI run and bench/.
  PACKAGES+=(clang libclang-rt-14-dev)
fi

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
((${#missing[@]} == 0)) && exit 0

SUDO=""
[[ $(id -u) -ne 0 ]] && SUDO="sudo"
echo "setup: installing ${missing[*]}" >&2
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq >/dev/null
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
