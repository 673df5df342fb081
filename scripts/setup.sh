#!/usr/bin/env bash
# Installs the Debian 12 packages the console needs to build, run, test and benchmark; does nothing
# when all are present.
#
#   scripts/setup.sh [--extra] [--check]
#
# --extra adds clang and its fuzzer runtime (sanitizer and fuzzing checks). --check installs
# nothing: it prints each missing package on a line of its own and exits 1 when any is missing.
set -euo pipefail
check=setup
# shellcheck source=scripts/ci/lib/common.sh
source "$(dirname "$0")/ci/lib/common.sh"

extra=0
only_check=0
for arg in "$@"; do
  case "$arg" in
    --extra) extra=1 ;;
    --check) only_check=1 ;;
    -h|--help) sed -n '2,8p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) say "unknown option $arg (see --help)"; exit 2 ;;
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

if ((only_check)); then
  missing=$(missing_packages "${PACKAGES[@]}")
  [[ -z "$missing" ]] && exit 0
  echo "$missing"
  exit 1
fi
install_missing "${PACKAGES[@]}"
