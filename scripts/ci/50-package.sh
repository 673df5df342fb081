#!/usr/bin/env bash
# Packaging check: builds the .deb, installs it, shows the installed console under Xvfb on a
# simulated COM1, closes its window and removes the package again.
#
# Installs and then removes the package tqm810-console on this machine. Never opens a real serial
# port: the console runs with a private ports directory whose only entry is the simulator's pty.
set -euo pipefail
here=$(cd "$(dirname "$0")/../.." && pwd)
build="${TQM_BUILD_DIR:-$here/build}"
check=package
# shellcheck source=scripts/ci/lib/common.sh
source "$here/scripts/ci/lib/common.sh"
# shellcheck source=scripts/ci/lib/cleanup.sh
source "$here/scripts/ci/lib/cleanup.sh"
title="TQM-810 DEMO PROGRAM"
full_title="TQM-810 DEMO PROGRAM 2007년 9월11일"

# Asks a window to close as a window manager's close button does; there is no window manager
# under Xvfb, and destroying the window from outside would leave the console running.
close_window() {
  python3 - "$1" <<'PY'
import ctypes, sys
from ctypes import c_char_p, c_int, c_long, c_ulong, c_void_p

x11 = ctypes.CDLL("libX11.so.6")
x11.XOpenDisplay.restype = c_void_p
x11.XOpenDisplay.argtypes = [c_char_p]
x11.XInternAtom.restype = c_ulong
x11.XInternAtom.argtypes = [c_void_p, c_char_p, c_int]
x11.XSendEvent.argtypes = [c_void_p, c_ulong, c_int, c_long, c_void_p]
x11.XFlush.argtypes = [c_void_p]
x11.XCloseDisplay.argtypes = [c_void_p]


class ClientMessage(ctypes.Structure):
    _fields_ = [("type", c_int), ("serial", c_ulong), ("send_event", c_int),
                ("display", c_void_p), ("window", c_ulong), ("message_type", c_ulong),
                ("format", c_int), ("data", c_long * 5)]


class XEvent(ctypes.Union):
    _fields_ = [("xclient", ClientMessage), ("pad", c_long * 24)]


display = x11.XOpenDisplay(None)
if not display:
    sys.exit("cannot open the display")
window = int(sys.argv[1])
event = XEvent()
event.xclient.type = 33  # ClientMessage
event.xclient.window = window
event.xclient.message_type = x11.XInternAtom(display, b"WM_PROTOCOLS", 0)
event.xclient.format = 32
event.xclient.data[0] = x11.XInternAtom(display, b"WM_DELETE_WINDOW", 0)
if not x11.XSendEvent(display, window, 0, 0, ctypes.byref(event)):
    sys.exit("XSendEvent failed")
x11.XFlush(display)
x11.XCloseDisplay(display)
PY
}

# Second stage, on the display that xvfb-run made and a private session bus: the installed console
# must show its window and end cleanly when the window is closed.
if [[ "${1:-}" == "--on-display" ]]; then
  work="$2"
  console=""
  trap '[[ -n "$console" ]] && kill "$console" 2>/dev/null; true' EXIT
  /usr/bin/tqm810-console >"$work/console.log" 2>&1 &
  console=$!

  if ! windows=$(timeout 30 xdotool search --sync --name "$title"); then
    cat "$work/console.log" >&2
    fail "no window named '$title' within 30 s"
  fi
  window=${windows%%$'\n'*}
  name=$(xdotool getwindowname "$window")
  [[ "$name" == "$full_title" ]] || fail "the window is named '$name', not '$full_title'"
  say "window $window '$name' is up"

  close_window "$window"
  for _ in $(seq 100); do
    kill -0 "$console" 2>/dev/null || break
    sleep 0.1
  done
  kill -0 "$console" 2>/dev/null && fail "the console still runs 10 s after its window was closed"
  status=0
  wait "$console" || status=$?
  console=""
  cat "$work/console.log" >&2
  ((status == 0)) || fail "the console ended with status $status"
  say "the window closed and the console ended with status 0"
  exit 0
fi

SUDO=""
[[ $(id -u) -ne 0 ]] && SUDO="sudo"
export DEBIAN_FRONTEND=noninteractive

# dpkg-dev and file work out the package's library dependencies, help2man writes the manual
# pages, lintian and man-db check the package; the rest run the window.
install_missing dpkg-dev file help2man lintian man-db xvfb xauth xdotool python3 \
  desktop-file-utils dbus

work=$(mktemp -d)
sim=""
runner=""
installed=false
cleanup() {
  local status=$?
  # Each step must run even when an earlier one fails.
  set +e
  stop_runner_and_sim
  if $installed; then
    $SUDO apt-get remove -y -qq tqm810-console >/dev/null 2>&1 || say "could not remove the package"
  fi
  rm -rf "$work"
  if ((status == 0)); then
    say "passed in ${SECONDS} s"
  else
    say "failed after ${SECONDS} s"
  fi
}
trap cleanup EXIT
trap 'exit 130' INT TERM

say "building the package"
cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
rm -f "$build"/tqm810-console_*.deb
cmake --build "$build" --target package >"$work/package.log" 2>&1 || {
  cat "$work/package.log" >&2
  fail "cmake --build --target package failed"
}
debs=("$build"/tqm810-console_*.deb)
[[ ${#debs[@]} -eq 1 && -f "${debs[0]}" ]] || fail "expected one tqm810-console_*.deb in $build"
deb=${debs[0]}
say "built $(basename "$deb")"

depends=$(dpkg-deb -f "$deb" Depends)
say "Depends: $depends"
for p in libqt6core6 libqt6gui6 libqt6widgets6 libqt6serialport6 fonts-nanum fonts-dejavu-core; do
  [[ ", $depends," == *", $p "* || ", $depends," == *", $p,"* ]] || fail "Depends lacks $p"
done
contents=$(dpkg-deb -c "$deb")
for f in /usr/bin/tqm810-console /usr/bin/tqm810-sim /usr/share/applications/tqm810-console.desktop \
  /usr/share/icons/hicolor/scalable/apps/tqm810-console.svg; do
  grep -q " \.$f\$" <<<"$contents" || fail "the package lacks $f"
done

# Every program has its manual page, named in its NAME section, and reports the package's version,
# which is also the changelog's newest entry.
version=$(dpkg-deb -f "$deb" Version)
dpkg-deb -x "$deb" "$work/root"
for f in copyright changelog.gz; do
  [[ -f "$work/root/usr/share/doc/tqm810-console/$f" ]] || fail "the package lacks $f"
done
zcat "$work/root/usr/share/doc/tqm810-console/changelog.gz" >"$work/changelog"
logged=$(dpkg-parsechangelog -l "$work/changelog" -S Version)
[[ "$logged" == "$version" ]] || fail "the changelog's newest entry is $logged, the package $version"
mapfile -t programs < <(ls "$work/root/usr/bin")
for program in "${programs[@]}"; do
  page="$work/root/usr/share/man/man1/$program.1.gz"
  [[ -f "$page" ]] || fail "the package lacks the manual page of $program"
  MANWIDTH=80 man -l "$page" 2>/dev/null | grep -A1 '^NAME' | grep -q "^ *$program - " ||
    fail "man -l $(basename "$page") does not name $program"
  said=$(env -u DISPLAY -u WAYLAND_DISPLAY XDG_CONFIG_HOME="$work/config" \
    "$work/root/usr/bin/$program" --version | head -n 1)
  [[ "$said" == "$program $version" ]] || fail "$program --version says '$said', not $version"
done
say "manual pages for ${programs[*]}, copyright and changelog $version"

# Debian's own checker: anything deliberately accepted is in the package's overrides file.
lintian_args=(--fail-on "error,warning")
[[ $(id -u) -eq 0 ]] && lintian_args+=(--allow-root)
if ! report=$(lintian "${lintian_args[@]}" "$deb" 2>&1) || [[ -n "$report" ]]; then
  echo "$report" >&2
  fail "lintian does not accept the package"
fi
say "lintian has nothing to say"

say "installing it"
installed=true
if ! $SUDO apt-get install -y -qq --reinstall "$deb" >"$work/apt.log" 2>&1; then
  # A machine whose package lists are stale cannot fetch the dependencies; refresh once.
  $SUDO apt-get update -qq >/dev/null
  $SUDO apt-get install -y -qq --reinstall "$deb" >"$work/apt.log" 2>&1 || {
    cat "$work/apt.log" >&2
    fail "apt-get install $deb failed"
  }
fi
[[ -x /usr/bin/tqm810-console && -x /usr/bin/tqm810-sim ]] || fail "the programs are not in /usr/bin"
desktop-file-validate /usr/share/applications/tqm810-console.desktop ||
  fail "the installed menu entry does not validate"

start_sim "$work/sim.log" /usr/bin/tqm810-sim --ports-dir "$work/config/tqm810-console/ports" \
  --com 1 || fail "the installed simulator did not start"
say "COM1 is the simulator on $sim_pty"

# A session bus of its own, as on a desktop, so nothing the console asks of D-Bus outlives the
# check.
XDG_CONFIG_HOME="$work/config" in_xvfb_session 90 bash "$0" --on-display "$work" &
runner=$!
status=0
wait "$runner" || status=$?
runner=""
((status == 0)) || fail "the installed console did not show and close its window (status $status)"

say "removing it"
$SUDO apt-get remove -y -qq tqm810-console >/dev/null
installed=false
[[ -n $(missing_packages tqm810-console) ]] || fail "the package is still installed after apt-get remove"
[[ ! -e /usr/bin/tqm810-console ]] || fail "/usr/bin/tqm810-console is still there after removal"
