#!/usr/bin/env bash
# The README's scripts/run.sh --replies FILE under Xvfb with AT-SPI: the console it starts shows an
# answer from FILE when "Version 확인" is pressed, and a TERM to run.sh ends the console and the
# simulator with it.
#
# Never opens a real serial port: run.sh gives the console its own ports directory with COM1 the
# simulator's pty.
set -euo pipefail
here=$(cd "$(dirname "$0")/../.." && pwd)
# run.sh builds and starts this tree's build/, whatever TQM_BUILD_DIR says.
build="$here/build"
check=run-replies
# shellcheck source=scripts/ci/lib/common.sh
source "$here/scripts/ci/lib/common.sh"
# shellcheck source=scripts/ci/lib/cleanup.sh
source "$here/scripts/ci/lib/cleanup.sh"
# shellcheck source=scripts/ci/lib/atspi.sh
source "$here/scripts/ci/lib/atspi.sh"

BUTTON="Version 확인"
REPLY='+# = "\x02TQM-810 V2.10\x03\r"'
SHOWN="[STX]TQM-810 V2.10[ETX][CR]"

# Second stage, inside dbus-run-session on the display that xvfb-run made.
if [[ "${1:-}" == "--in-session" ]]; then
  work="$2"
  pids=()
  # run.sh is among them and has ended by the time the check passes.
  trap 'for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done; wait; true' EXIT
  start_atspi_bus "$work" || exit $?

  # Qt talks to the accessibility bus only when asked to; no desktop here asks for it.
  QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 bash "$here/scripts/run.sh" --replies "$work/replies" \
    >"$work/run.log" 2>&1 &
  run=$!
  pids+=("$run")
  if ! /usr/bin/python3 "$here/tests/accessibility/check_a11y.py" --press "$BUTTON" \
    --expect "$SHOWN"; then
    cat "$work/run.log" >&2
    exit 1
  fi

  # By now run.sh has built and started; its children are the simulator, the console and the
  # reader that passes the simulator's lines on.
  mapfile -t children < <(pgrep -P "$run")
  names=$(for c in "${children[@]}"; do ps -o comm= -p "$c"; done | sort | tr '\n' ' ')
  [[ "$names" == "cat tqm810-console tqm810-sim " ]] ||
    { cat "$work/run.log" >&2; fail "run.sh's children are '$names', not the console and the simulator"; }

  kill -TERM "$run"
  for _ in $(seq 100); do kill -0 "$run" 2>/dev/null || break; sleep 0.1; done
  kill -0 "$run" 2>/dev/null && fail "run.sh still runs 10 s after TERM"
  for c in "${children[@]}"; do
    kill -0 "$c" 2>/dev/null && fail "$(ps -o comm= -p "$c") ($c) outlived run.sh's TERM"
  done
  say "TERM to run.sh ended it, the console and the simulator"
  exit 0
fi

install_atspi_packages
# run.sh builds too; done here first so that its build is a no-op inside the time limit below.
console_check_start

printf '%s\n' "$REPLY" >"$work/replies"
run_atspi_stage 60 "run.sh --replies did not behave as expected"
