#!/usr/bin/env bash
# Accessibility check: the built console under Xvfb on a private session bus with an AT-SPI
# registry, inspected by tests/accessibility/check_a11y.py as a screen reader would see it.
#
# Never opens a real serial port: COM1 is the simulator's pty in a private ports directory, and
# for the check's second console a pty of the check's own in a ports directory of its own.
set -euo pipefail
here=$(cd "$(dirname "$0")/../.." && pwd)
build="${TQM_BUILD_DIR:-$here/build}"
check=a11y
# shellcheck source=scripts/ci/lib/common.sh
source "$here/scripts/ci/lib/common.sh"
# shellcheck source=scripts/ci/lib/cleanup.sh
source "$here/scripts/ci/lib/cleanup.sh"
# shellcheck source=scripts/ci/lib/atspi.sh
source "$here/scripts/ci/lib/atspi.sh"

# Second stage, inside dbus-run-session on the display that xvfb-run made.
if [[ "${1:-}" == "--in-session" ]]; then
  work="$2"
  pids=()
  trap 'for p in "${pids[@]}"; do kill "$p" 2>/dev/null; done; wait; true' EXIT

  start_atspi_bus "$work" || exit $?

  # Qt talks to the accessibility bus only when asked to; no desktop here asks for it.
  QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 "$build/app/tqm810-console" >"$work/console.log" 2>&1 &
  pids+=($!)
  status=0
  /usr/bin/python3 "$here/tests/accessibility/check_a11y.py" --console "$build/app/tqm810-console" ||
    status=$?
  if ((status != 0)); then
    cat "$work/console.log" >&2
  fi
  exit $status
fi

install_atspi_packages

console_check_start

start_sim "$work/sim.log" "$build/sim/tqm810-sim" \
  --ports-dir "$work/config/tqm810-console/ports" --com 1 || fail "no simulated COM1"

XDG_CONFIG_HOME="$work/config" run_atspi_stage 120 "the console as AT-SPI shows it is not as expected"
