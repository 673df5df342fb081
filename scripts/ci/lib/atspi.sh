# shellcheck shell=bash
# Sourced by the CI checks that inspect the console through AT-SPI under Xvfb, after common.sh. Not a
# check itself: .ci/run runs only scripts/ci/*.sh.

# Stage two of a check exits with this when the accessibility bus cannot be had on this machine.
no_bus=77

# Installs what the checks need to run the console under Xvfb with an AT-SPI registry.
install_atspi_packages() {
  install_missing dbus at-spi2-core python3-pyatspi gir1.2-atspi-2.0 xvfb xauth
}

# Waits until NAME has an owner on BUS (--session or --bus=ADDRESS), without starting anything.
atspi_owned() {
  for _ in $(seq 100); do
    dbus-send "$1" --print-reply=literal --dest=org.freedesktop.DBus /org/freedesktop/DBus \
      org.freedesktop.DBus.NameHasOwner "string:$2" 2>/dev/null | grep -q true && return 0
    sleep 0.1
  done
  return 1
}

# Inside dbus-run-session: starts the accessibility bus and its registry, logging to WORK, and adds
# their process ids to the caller's pids array. Returns $no_bus, having said why, when either
# does not come up.
start_atspi_bus() {
  local work="$1" address
  /usr/libexec/at-spi-bus-launcher --launch-immediately >"$work/bus.log" 2>&1 &
  pids+=($!)
  if ! atspi_owned --session org.a11y.Bus; then
    cat "$work/bus.log" >&2
    say "at-spi-bus-launcher did not take its name on the session bus within 10 s"
    return $no_bus
  fi
  address=$(dbus-send --session --print-reply=literal --dest=org.a11y.Bus /org/a11y/bus \
    org.a11y.Bus.GetAddress) || address=""
  address=${address//[[:space:]]/}
  if [[ -z "$address" ]]; then
    cat "$work/bus.log" >&2
    say "at-spi-bus-launcher gave no accessibility bus address"
    return $no_bus
  fi

  /usr/libexec/at-spi2-registryd >"$work/registry.log" 2>&1 &
  pids+=($!)
  if ! atspi_owned --bus="$address" org.a11y.atspi.Registry; then
    cat "$work/registry.log" >&2
    say "at-spi2-registryd did not take its name on the accessibility bus within 10 s"
    return $no_bus
  fi
  say "accessibility bus at $address, registry up"
}

# Runs this check's second stage, `$0 --in-session $work`, on a private display and session bus and
# waits for it: a stage that could start no accessibility bus is a skip, any other failure fails
# the check, saying WHAT went wrong.
run_atspi_stage() { # seconds what
  local status=0
  in_xvfb_session "$1" bash "$0" --in-session "$work" &
  runner=$!
  wait "$runner" || status=$?
  runner=""
  if ((status == no_bus)); then
    say "SKIP: no AT-SPI accessibility bus could be started on this machine (see above)"
    exit 0
  fi
  ((status == 0)) || fail "$2 (status $status)"
}
