#!/usr/bin/env bash
# Debian 12's prove reads what `tqm810 run` prints: the README's unit script against the simulator
# as COM1 says PASS, and the same script against a simulator whose reply file gives another
# version says FAIL with one failed test; the script on three simulators at once, COM1..COM3, says
# PASS with a test per step and port.
#
# Never opens a real serial port: COM1 is a link to the simulator's pty in a private ports folder.
set -euo pipefail
here=$(cd "$(dirname "$0")/../.." && pwd)
build="$here/build"
check=prove
# shellcheck source=scripts/ci/lib/common.sh
source "$here/scripts/ci/lib/common.sh"
# shellcheck source=scripts/ci/lib/cleanup.sh
source "$here/scripts/ci/lib/cleanup.sh"

install_missing perl # prove
console_check_start
cmake --build "$build" --target tqm810 >/dev/null

export XDG_CONFIG_HOME="$work/config"
ports="$XDG_CONFIG_HOME/tqm810-console/ports"
cat >"$work/unit.tqm" <<'END'
# one unit off the line
send reset
expect [ACK]
send version
match '\[STX\]TQM-810 .*\[ETX\]\[CR\]'
lcd "UNIT OK"
expect [ACK]
END
printf '%s\n' '+# = "\x02TQM-800 V0.90\x03\r"' >"$work/wrong.replies"

# Runs prove on the unit script against a simulator started with options...; its output in $out.
prove_unit() { # options...
  start_sim "$work/sim.log" "$build/sim/tqm810-sim" --quiet --ports-dir "$ports" --com 1 "$@"
  status=0
  out=$(cd "$work" && timeout 60 prove -e "$build/cli/tqm810 run --com 1" unit.tqm 2>&1) ||
    status=$?
  echo "$out"
  kill "$sim"
  wait "$sim" 2>/dev/null || true
  sim=""
}

prove_unit
if ((status != 0)) || ! grep -qx "Result: PASS" <<<"$out"; then
  fail "prove did not pass a passing unit (status $status)"
fi
say "a passing unit: PASS"

prove_unit --replies "$work/wrong.replies"
if ((status != 1)) || ! grep -q "^Failed 1/6 subtests" <<<"$out" ||
  ! grep -qx "Result: FAIL" <<<"$out"; then
  fail "prove did not fail one test of a unit that answers another version (status $status)"
fi
say "a unit that answers another version: FAIL, one failed test"

for com in 1 2 3; do
  start_sim "$work/sim.log" "$build/sim/tqm810-sim" --quiet --ports-dir "$ports" --com "$com"
  sims+=("$sim")
done
sim=""
status=0
out=$(cd "$work" && timeout 60 prove -e "$build/cli/tqm810 run --com 1-3" unit.tqm 2>&1) ||
  status=$?
echo "$out"
if ((status != 0)) || ! grep -q "Tests=18," <<<"$out" || ! grep -qx "Result: PASS" <<<"$out"; then
  fail "prove did not pass three passing units run at once (status $status)"
fi
say "three units at once: PASS, 18 tests"
