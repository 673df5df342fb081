#!/usr/bin/env bash
# Runs the README's first command under Xvfb, clicks "외부 Sensor" and saves what the operator
# would see to docs/demo.png (needs xdotool and ImageMagick's import).
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
out="${1:-$here/docs/demo.png}"

if [[ -z "${DISPLAY:-}" ]]; then
  exec xvfb-run -a -s "-screen 0 1024x768x24" "$0" "$@"
fi

"$here/scripts/run.sh" >"$here/build/demo-run.log" 2>&1 &
run_pid=$!
trap 'pkill -TERM -f "$here/build/app/tqm810-console" 2>/dev/null || true; wait $run_pid 2>/dev/null || true' EXIT

wid=$(timeout 120 xdotool search --sync --name "TQM-810 DEMO PROGRAM" | head -n1)
sleep 1
# The sensor button's centre, in the window's own pixels.
xdotool mousemove --window "$wid" 428 156 click 1
sleep 1
import -window "$wid" "$out"
echo "demo: saved $out"
grep -v '^/dev/pts' "$here/build/demo-run.log" | tail -n 5 || true
