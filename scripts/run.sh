#!/usr/bin/env bash
# Builds the console and starts it: by default against the simulated TQM-810 as COM1 in a private
# ports directory (the user's own port map is never touched); with --real against real ports.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build="$here/build"

bash "$here/scripts/setup.sh"
cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" --target tqm810-console tqm810-sim

if [[ -z "${DISPLAY:-}" && -z "${WAYLAND_DISPLAY:-}" ]]; then
  echo "run: no display; on a headless machine use: xvfb-run -a $0 $*" >&2
  exit 1
fi

if [[ "${1:-}" == "--real" ]]; then
  echo "run: real ports: COMn is the link comN in \${XDG_CONFIG_HOME:-\$HOME/.config}/tqm810-console/ports/," >&2
  echo "     or /dev/ttyS{n-1} when that folder does not exist." >&2
  exec "$build/app/tqm810-console"
fi

work=$(mktemp -d)
sim_pid=""
cleanup() {
  if [[ -n "$sim_pid" ]]; then kill "$sim_pid" 2>/dev/null || true; wait "$sim_pid" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

ports="$work/config/tqm810-console/ports"
"$build/sim/tqm810-sim" --ports-dir "$ports" --com 1 &
sim_pid=$!
for _ in $(seq 200); do
  [[ -L "$ports/com1" ]] && break
  kill -0 "$sim_pid" 2>/dev/null || { echo "run: the simulator did not start" >&2; exit 1; }
  sleep 0.05
done

echo "run: COM1 is the SIMULATED TQM-810 (its lines below); for real ports: $0 --real" >&2
XDG_CONFIG_HOME="$work/config" "$build/app/tqm810-console"
