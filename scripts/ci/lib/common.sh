# shellcheck shell=bash
# Sourced by every CI check, and by scripts/setup.sh, run.sh and bench.sh: messages, installing
# what is missing, starting the simulator, and a private display with a session bus. Not a check
# itself: .ci/run runs only scripts/ci/*.sh. Set `check` to the name messages start with first.

say() { echo "${check:-ci}: $*" >&2; }
fail() {
  say "FAIL: $*"
  exit 1
}

# Each of the named Debian packages that is not installed, one a line.
missing_packages() {
  local p
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || echo "$p"
  done
}

# Installs those of the named packages that are missing; nothing at all when none is.
install_missing() {
  local missing sudo=""
  mapfile -t missing < <(missing_packages "$@")
  ((${#missing[@]})) || return 0
  [[ $(id -u) -ne 0 ]] && sudo="sudo"
  say "installing ${missing[*]}"
  # Another install on the machine holds dpkg's lock for a while: wait for it, do not fail.
  $sudo env DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=600 update -qq >/dev/null
  $sudo env DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=600 install -y -qq \
    --no-install-recommends "${missing[@]}" >/dev/null
}

# Asks process PID, a child of this shell, to end, insists after SECONDS (5), and reaps it; nothing
# at all when it has gone already.
stop_process() { # pid [seconds]
  local i
  kill -TERM "$1" 2>/dev/null || return 0
  for ((i = 0; i < ${2:-5} * 10; i++)); do kill -0 "$1" 2>/dev/null || break; sleep 0.1; done
  kill -KILL "$1" 2>/dev/null || true
  wait "$1" 2>/dev/null || true
}

# A TCP port of 127.0.0.1 that nobody listens on now.
free_port() {
  python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'
}

# Whether something listens on 127.0.0.1:PORT within 10 s.
await_listener() { # port
  local i
  for ((i = 0; i < 100; i++)); do
    (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null && return 0
    sleep 0.1
  done
  return 1
}

# Starts the simulator as `program options...` and reads the device path it prints as its first
# line: $sim is then its pid and $sim_pty that path, and everything else it prints, errors too,
# goes on to the file OUT ("-": to this script's own stdout and stderr). When it does not start,
# shows what it said and returns its exit status (1 if it had none).
start_sim() { # out program [options...]
  local out=$1 fifo status=0 fd read_status=0
  shift
  fifo=$(mktemp -u "${TMPDIR:-/tmp}/tqm810-sim.XXXXXX")
  mkfifo -m 600 "$fifo"
  if [[ "$out" == - ]]; then
    "$@" >"$fifo" &
  else
    "$@" 2>>"$out" >"$fifo" &
  fi
  sim=$!
  exec {fd}<"$fifo"
  rm -f "$fifo"
  sim_pty=""
  IFS= read -r -t 20 -u "$fd" sim_pty || read_status=$?
  if ((read_status == 0)) && [[ "$sim_pty" == /* ]]; then
    if [[ "$out" == - ]]; then cat <&"$fd" & else cat <&"$fd" >>"$out" & fi
    exec {fd}<&-
    return 0
  fi
  # Given up waiting: stopped. Otherwise it has ended, or is ending, by itself: its own status.
  ((read_status > 128)) && kill "$sim" 2>/dev/null
  cat <&"$fd" >/dev/null
  exec {fd}<&-
  wait "$sim" || status=$?
  sim=""
  [[ -f "$out" ]] && cat "$out" >&2
  say "the simulator did not start"
  return $((status ? status : 1))
}

# Runs command... on a private X server and session bus, with a private runtime folder in $work;
# `timeout` ends its whole process group after SECONDS, the X server and the buses with it.
in_xvfb_session() { # seconds command...
  local seconds=$1
  shift
  mkdir -p -m 700 "$work/runtime"
  XDG_RUNTIME_DIR="$work/runtime" timeout "$seconds" \
    xvfb-run -a -e "$work/xvfb.log" -s "-screen 0 1024x768x24" dbus-run-session -- "$@"
}
