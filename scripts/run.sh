#!/usr/bin/env bash
# Builds the console and starts it: by default against the simulated TQM-810 as COM1 in a private
# ports directory (the user's own port map is never touched); with --real against real ports.
#
#   scripts/run.sh [--replies FILE | --real]
#
# --replies FILE  the simulator answers from this reply file (see sim/README.md)
# --real          no simulator: COMn are the real ports
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build="$here/build"
check=run
# shellcheck source=scripts/ci/lib/common.sh
source "$here/scripts/ci/lib/common.sh"

usage_error() {
  say "$* (see --help)"
  exit 2
}
real=0
sim_options=()
while (($#)); do
  case "$1" in
    --real) real=1 ;;
    --replies)
      (($# >= 2)) || usage_error "--replies needs a FILE"
      [[ -f "$2" && -r "$2" ]] || usage_error "--replies $2: no such readable file"
      sim_options+=(--replies "$(realpath -- "$2")")
      shift
      ;;
    -h|--help) sed -n '2,8p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) usage_error "unknown option $1" ;;
  esac
  shift
done
# A reply file is for the simulator, which --real does not start.
if ((real && ${#sim_options[@]})); then
  usage_error "--real and --replies cannot go together"
fi

bash "$here/scripts/setup.sh"
cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" --target tqm810-console tqm810-sim

if [[ -z "${DISPLAY:-}" && -z "${WAYLAND_DISPLAY:-}" ]]; then
  say "no display; on a headless machine use: xvfb-run -a $0 $*"
  exit 1
fi

if ((real)); then
  say "real ports: COMn is the link comN in \${XDG_CONFIG_HOME:-\$HOME/.config}/tqm810-console/ports/,"
  echo "     or /dev/ttyS{n-1} when that folder does not exist." >&2
  exec "$build/app/tqm810-console"
fi

work=$(mktemp -d)
sim=""
console_pid=""
cleanup() {
  if [[ -n "$console_pid" ]]; then stop_process "$console_pid"; fi
  if [[ -n "$sim" ]]; then stop_process "$sim"; fi
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 143' TERM
trap 'exit 130' INT

# Its lines go on to the terminal; when it does not start, its own status (2 for a bad reply file,
# whose fault it has named).
sim_status=0
start_sim - "$build/sim/tqm810-sim" --ports-dir "$work/config/tqm810-console/ports" \
  --com 1 "${sim_options[@]}" || sim_status=$?
((sim_status == 0)) || exit "$sim_status"

say "COM1 is the SIMULATED TQM-810 on $sim_pty (its lines below); for real ports: $0 --real"
# Waited for in the background: bash runs a trap only once a foreground child has returned, so a
# TERM to this script would otherwise leave the console and the simulator running.
XDG_CONFIG_HOME="$work/config" "$build/app/tqm810-console" &
console_pid=$!
status=0
wait "$console_pid" || status=$?
console_pid=""
exit "$status"
