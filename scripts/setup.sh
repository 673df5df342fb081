#!/usr/bin/env bash
# Installs the Debian 12 packages the console needs to build, run, test and benchmark; does nothing
# when all are present.
#
#   scripts/setup.sh [--extra] [--check]
#
# --extra adds clang and its fuzzer runtime (sanitizer and fuzzing checks). --check installs
# nothing: it prints each missing package on a line of its own and exits 1 when any is missing.
set -euo pipefail

extra=0
check=0
for arg in "$@"; do
  case "$arg" in
    --extra) extra=1 ;;
    --check) check=1 ;;
    -h|--help) sed -n '2,8p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) echo "setup: unknown option $arg (see --help)" >&2; exit 2 ;;
  esac
done

PACKAGES=(
  cmake ninja-build g++ pkg-config
  qt6-base-dev qt6-base-private-dev qt6-serialport-dev libqt6serialport6 qt6-l10n-tools
  libgl-dev
  # The benchmarks are part of the default build, so a change that breaks them fails every build.
  libbenchmark-dev libx11-dev
  fonts-nanum fonts-nanum-coding fonts-dejavu-core
  xvfb xauth socat
  help2man
)
if ((extra)); then
  PACKAGES+=(clang libclang-rt-14-dev)
fi

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
if ((check)); then
  ((${#missing[@]} == 0)) && exit 0
  printf '%s\n' "${missing[@]}"
  exit 1
fi
((${#missing[@]} == 0)) && exit 0

SUDO=""
[[ $(id -u) -ne 0 ]] && SUDO="sudo"
echo "setup: installing ${missing[*]}" >&2
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq >/dev/null
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
