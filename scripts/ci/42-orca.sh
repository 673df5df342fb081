#!/usr/bin/env bash
# Screen reader check: the console as a blind technician hears it through Orca. Debian's Orca runs
# under Xvfb with an AT-SPI bus and speaks through speech-dispatcher, whose generic module appends
# each utterance to a log instead of sounding it (audio, were there any, goes to ALSA's null
# device); keys go in with xdotool. Asserted is what was said:
#   - the title, as a frame, when the console starts, and again when a second one starts;
#   - "Received data" and the box's text when Tab reaches the box;
#   - a reply arriving while the box has the focus;
#   - the reply after Space on "외부 Sensor", the focus still on the button;
#   - F6 to the box and back to the button.
#
# Never opens a real serial port: the first console's COM1 is a pseudo-terminal held by
# tests/accessibility/far_end.py, the second's the simulator's, each in a ports directory of its
# own.
set -euo pipefail
here=$(cd "$(dirname "$0")/../.." && pwd)
build="${TQM_BUILD_DIR:-$here/build}"
check=orca
# shellcheck source=scripts/ci/lib/common.sh
source "$here/scripts/ci/lib/common.sh"
# shellcheck source=scripts/ci/lib/cleanup.sh
source "$here/scripts/ci/lib/cleanup.sh"
# shellcheck source=scripts/ci/lib/atspi.sh
source "$here/scripts/ci/lib/atspi.sh"
# shellcheck source=scripts/ci/lib/orca.sh
source "$here/scripts/ci/lib/orca.sh"

title_said='TQM.{0,8}810 DEMO PROGRAM 2007년 9월11일 frame'
box_focused='Received data read only text'
sensor_focused='외부 Sensor push button'

# What Orca has said since byte FROM of the log, its lines run together.
said_since() { tail -c +$(($1 + 1)) "$log" | tr -d '\n'; }

# Waits until what Orca says after byte $from matches REGEX; else records WHAT as failed.
expect_said() { # regex what
  for _ in $(seq 50); do
    if said_since "$from" | grep -Eq -- "$1"; then
      say "heard: $2"
      return 0
    fi
    sleep 0.2
  done
  say "FAIL: $2: not heard within 10 s; Orca said: '$(said_since "$from")'"
  failed+=("$2")
}

# Presses KEY with what Orca says from now on to be asserted.
press() { # key
  from=$(stat -c %s "$log")
  xdotool key "$1"
}

# Sends BYTES (\xHH escapes) from the first console's device, unasked.
device_sends() {
  from=$(stat -c %s "$log")
  printf '%s\n' "$1" >"$work/device"
}

# Starts a console with the configuration folder CONFIG; its window in $wid once it shows.
start_console() { # config
  local known
  known=$(xdotool search --onlyvisible --name '^TQM-810' 2>/dev/null || true)
  from=$(stat -c %s "$log")
  XDG_CONFIG_HOME="$1" "$build/app/tqm810-console" >>"$work/console.log" 2>&1 &
  pids+=($!)
  for _ in $(seq 100); do
    wid=$(xdotool search --onlyvisible --name '^TQM-810' 2>/dev/null | grep -vxF "$known" | head -1) &&
      [[ -n "$wid" ]] && break
    sleep 0.1
  done
  [[ -n "$wid" ]] || fail "the console showed no window within 10 s: $(cat "$work/console.log")"
  # There is no window manager to give a new window the focus: done here, as one would, once the
  # console has done what it does by itself on showing, which may be to take the focus.
  sleep 2
  xdotool windowfocus --sync "$wid"
}

# Second stage, inside dbus-run-session on the display that xvfb-run made.
if [[ "${1:-}" == "--in-session" ]]; then
  work="$2"
  log="$work/speech.log"
  pids=()
  failed=()
  trap 'stop_orca; for p in "${pids[@]}"; do kill "$p" 2>/dev/null; done; wait; true' EXIT
  start_atspi_bus "$work" || exit $?
  start_orca "$log" || fail "no screen reader to listen to"

  ports="$work/config/tqm810-console/ports"
  mkdir -p "$ports"
  /usr/bin/python3 "$here/tests/accessibility/far_end.py" "$ports" "$work/device" \
    >"$work/far.log" 2>&1 &
  pids+=($!)
  for _ in $(seq 50); do grep -q ready "$work/far.log" && break; sleep 0.1; done

  start_console "$work/config"
  expect_said "$title_said" "the title at start"
  # Sent while the focus is on a button and no command was given: the box shows it, and Tab
  # onto the box reads it.
  device_sends '\x02READY\x03\r'
  sleep 1
  press Tab
  expect_said "$box_focused.{0,80}READY" "'Received data' and the box's text on focus"
  device_sends '\x02DOOR OPEN\x03\r'
  expect_said 'notification.{0,80}DOOR OPEN' "a reply arriving while the box has the focus"

  # From the box, seven stops to the sensor button.
  for _ in 1 2 3 4 5 6; do xdotool key Tab; done
  press Tab
  expect_said "$sensor_focused" "Tab to '외부 Sensor'"
  press space
  expect_said 'notification.{0,40}STX right bracket 0 left bracket ETX' \
    "the reply after Space on '외부 Sensor'"
  press KP_Enter # Orca's "where am I"
  expect_said "$sensor_focused" "the focus still on '외부 Sensor' after its reply"

  press F6
  expect_said "$box_focused" "F6 from '외부 Sensor' to the box"
  press F6
  expect_said "$sensor_focused" "F6 from the box back to '외부 Sensor'"

  # Back to the button a new console starts on: to a screen reader, the same window and button
  # as the new console's, were it at the same place.
  xdotool key F6
  press shift+Tab
  expect_said 'Data Read push button' "Shift+Tab from the box to 'Data Read'"
  start_console "$work/config2"
  expect_said "$title_said" "the title when a second console starts"

  say "all that Orca said:"
  cat "$log" >&2
  ((${#failed[@]} == 0)) && exit 0
  say "not heard: ${#failed[@]}: $(printf '%s; ' "${failed[@]}")"
  exit 1
fi

install_atspi_packages
install_orca_packages

console_check_start

start_sim "$work/sim.log" "$build/sim/tqm810-sim" \
  --ports-dir "$work/config2/tqm810-console/ports" --com 1 || fail "no simulated COM1"

mkdir -p "$work/home" "$work/data"
# Orca's and the console's settings start afresh in the check's own folders.
HOME="$work/home" XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/data" \
  run_atspi_stage 150 "Orca did not say what a technician must hear"
