#!/usr/bin/env bash
# A real device server: Debian's ser2net in front of the simulator's pty, with a Telnet RFC 2217
# accepter and a raw TCP one. Through them:
#   - tqm810 map writes and lists a network link; tqm810 send --device rfc2217://... and tcp://...
#     receive all 256 byte values (0xFF 0xFF included) exactly; an unreachable server is status 3
#     naming the address, a malformed URL status 2;
#   - tqm810 run on COM1..COM4 at once: COM1 the server's RFC 2217 port, COM2 a local simulator,
#     COM3 one that answers NAK, COM4 absent; one TAP stream, summary, JUnit and status 3;
#   - the console on COM1 = rfc2217://... clicks every command once, and the simulator's record
#     holds every frame byte for byte, in the README's table order; the version's 257-byte reply
#     is in the console's transcript exactly;
#   - ser2net stopped and started again: the console reports the loss and the link comes back by
#     itself.
# Never opens a real serial port.
set -euo pipefail
here=$(cd "$(dirname "$0")/../.." && pwd)
build="$here/build"
check=ser2net
# shellcheck source=scripts/ci/lib/common.sh
source "$here/scripts/ci/lib/common.sh"
# shellcheck source=scripts/ci/lib/cleanup.sh
source "$here/scripts/ci/lib/cleanup.sh"

install_missing ser2net xvfb xauth
console_check_start
cmake --build "$build" --target tqm810 >/dev/null
tqm810="$build/cli/tqm810"
ser2net_pid=""
stop_ser2net() {
  [[ -n "$ser2net_pid" ]] || return 0
  kill "$ser2net_pid" 2>/dev/null || true
  wait "$ser2net_pid" 2>/dev/null || true
  ser2net_pid=""
}
ser2net_check_end() {
  local status=$?
  set +e
  stop_ser2net
  (exit "$status")
  console_check_end
}
trap ser2net_check_end EXIT
# The console on its own X server, no session bus; timeout's TERM reaches the whole group, the
# console (which then closes its transcript) and the X server alike.
mkdir -m 700 "$work/runtime"
start_console() { # transcript [VAR=value...]
  local transcript=$1
  shift
  env "$@" XDG_RUNTIME_DIR="$work/runtime" DBUS_SESSION_BUS_ADDRESS="unix:path=$work/no-bus" \
    timeout 60 xvfb-run -a -e "$work/xvfb.log" -s "-screen 0 1024x768x24" \
    "$build/app/tqm810-console" --transcript "$transcript" >>"$work/console.log" 2>&1 &
  runner=$!
}
stop_console() {
  kill "$runner" 2>/dev/null || true
  wait "$runner" 2>/dev/null || true
  runner=""
}

rfc=$(free_port)
raw=$(free_port)
closed=$(free_port) # nobody listens there

# Every byte value, then one more 0xFF: the device's FF FF must arrive as two bytes, not one.
all_bytes=$(for i in $(seq 0 255); do printf '%02X ' "$i"; done)"FF"
printf '+# = "%s"\n' "$(for i in $(seq 0 255); do printf '\\x%02X' "$i"; done)\\xFF" >"$work/replies"
start_sim "$work/sim.log" "$build/sim/tqm810-sim" --quiet --replies "$work/replies" \
  --record "$work/record.bin"

cat >"$work/ser2net.yaml" <<EOF
connection: &rfc2217
    accepter: telnet(rfc2217),tcp,127.0.0.1,$rfc
    connector: serialdev,$sim_pty,9600n81,local
connection: &raw
    accepter: tcp,127.0.0.1,$raw
    connector: serialdev,$sim_pty,9600n81,local
EOF
start_ser2net() {
  ser2net -n -c "$work/ser2net.yaml" >>"$work/ser2net.log" 2>&1 &
  ser2net_pid=$!
  await_listener "$rfc" && return 0
  cat "$work/ser2net.log" >&2
  fail "ser2net does not listen on $rfc"
}
start_ser2net
say "$(ser2net -v) on 127.0.0.1:$rfc (rfc2217) and :$raw (raw) in front of $sim_pty"

hex() { od -An -tx1 -v "$1" | tr -s ' \n' ' ' | sed 's/^ //; s/ $//' | tr a-f A-F; }

# --- tqm810 -------------------------------------------------------------------------------------
export XDG_CONFIG_HOME="$work/config"
"$tqm810" map com1 "rfc2217://127.0.0.1:$rfc" >/dev/null 2>&1
listed=$("$tqm810" map | grep '^COM1')
[[ "$listed" == "COM1	rfc2217://127.0.0.1:$rfc	network" ]] || fail "tqm810 map lists '$listed'"

# ser2net lets one client at a time at the pty; the one before may still be on its way out.
send_to() { # url
  local out status=0
  for _ in 1 2 3; do
    out=$("$tqm810" send --device "$1" --hex version 2>"$work/send.err") && break
    status=$?
    sleep 1
  done
  [[ "$out" == "$all_bytes" ]] ||
    { cat "$work/send.err" >&2; fail "tqm810 send --device $1 printed '${out:0:80}...' (status $status)"; }
  say "tqm810 send --device $1: all 256 byte values and FF FF back exactly"
}
send_to "rfc2217://127.0.0.1:$rfc"
send_to "tcp://127.0.0.1:$raw"

status=0
"$tqm810" send --device "rfc2217://127.0.0.1:$closed" version 2>"$work/err" || status=$?
if ((status != 3)) || ! grep -q "rfc2217://127.0.0.1:$closed" "$work/err"; then
  fail "an unreachable server gave status $status: $(cat "$work/err")"
fi
status=0
"$tqm810" send --device "rfc2217://127.0.0.1" version 2>"$work/err" || status=$?
((status == 2)) || fail "a URL without a port gave status $status: $(cat "$work/err")"
say "unreachable server: status 3 naming it; malformed URL: status 2"

# --- tqm810 run on several ports: the server's among local ones --------------------------------
sleep 1 # ser2net lets the last client's pty go
ports="$XDG_CONFIG_HOME/tqm810-console/ports"
printf '%s\n' '+R = "\x15"' >"$work/nak.replies"
for com in 2 3; do
  keep=$sim keep_pty=$sim_pty
  options=()
  ((com == 3)) && options=(--replies "$work/nak.replies")
  start_sim "$work/gang-sim.log" "$build/sim/tqm810-sim" --quiet --ports-dir "$ports" --com "$com" \
    "${options[@]}"
  sims+=("$sim")
  sim=$keep sim_pty=$keep_pty
done
printf '%s\n' 'send reset' 'expect [ACK]' 'lcd "UNIT OK"' 'expect [ACK]' >"$work/gang.tqm"
status=0
"$tqm810" run --com 1-4 --junit "$work/gang.xml" --transcript "$work/gang.tsv" "$work/gang.tqm" \
  >"$work/gang.tap" 2>"$work/gang.err" || status=$?
grep -E '^(not )?ok ' "$work/gang.tap" | diff -u - <(cat <<'END'
ok 1 - COM1: send reset
ok 2 - COM1: expect "[ACK]"
ok 3 - COM1: lcd "UNIT OK"
ok 4 - COM1: expect "[ACK]"
ok 5 - COM2: send reset
ok 6 - COM2: expect "[ACK]"
ok 7 - COM2: lcd "UNIT OK"
ok 8 - COM2: expect "[ACK]"
ok 9 - COM3: send reset
not ok 10 - COM3: expect "[ACK]" got "[NAK]"
ok 11 - COM3: lcd "UNIT OK"
ok 12 - COM3: expect "[ACK]"
not ok 13 - COM4: send reset
not ok 14 - COM4: expect "[ACK]"
not ok 15 - COM4: lcd "UNIT OK"
not ok 16 - COM4: expect "[ACK]"
END
) >&2 || fail "the run on four ports: other tests (above), status $status"
((status == 3)) || fail "the run on four ports gave status $status"
grep -qx 'tqm810: COM3: 3 passed, 1 failed (first: line 2: expect "\[ACK\]" got "\[NAK\]")' \
  "$work/gang.err" || fail "no summary line for COM3: $(cat "$work/gang.err")"
(($(grep -c '<testsuite ' "$work/gang.xml") == 4)) || fail "the JUnit report has not four suites"
grep -q $'\tCOM1\t\trfc2217://127.0.0.1:'"$rfc"' connected' "$work/gang.tsv" ||
  fail "the transcript does not name COM1's server"
for pid in "${sims[@]}"; do kill "$pid"; wait "$pid" 2>/dev/null || true; done
sims=()
say "tqm810 run on COM1 (RFC 2217), two local simulators and an absent port: one report, status 3"

# --- the console: every command once ----------------------------------------------------------
sleep 1 # ser2net lets the last client's pty go
before=$(stat -c %s "$work/record.bin")
# shellcheck disable=SC2016 # the backquotes are the README's
rows=$(sed -n '/commands:begin/,/commands:end/p' "$here/README.md" | grep '^| `')
# shellcheck disable=SC2016
expected=$(sed 's/.*| //; s/ |$//; s/`, then `/ /g; s/`//g; s/YY MM DD hh mm ss/3[0-9] 3[0-9] 3[0-9] 3[0-9] 3[0-9] 3[0-9] 3[0-9] 3[0-9] 3[0-9] 3[0-9] 3[0-9] 3[0-9]/' <<<"$rows" |
  tr '\n' ' ' | sed 's/ $//')
commands=$(grep -c . <<<"$rows")
((commands == 17)) || fail "the README's table has $commands commands, not 17"
# The benchmark hook clicks every command in turn, one each 200 ms.
start_console "$work/round.tsv" TQM810_BENCH_REPORT="$work/report" TQM810_BENCH_ROUND_MS=3400
for _ in $(seq 300); do
  got=$(tail -c +"$((before + 1))" "$work/record.bin" >"$work/round.bin"; hex "$work/round.bin")
  [[ "$got" =~ ^$expected ]] && break
  sleep 0.1
done
stop_console
[[ "$got" =~ ^$expected ]] || fail "the simulator's record after the clicks: ${got:0:300}"
say "all $commands commands reached the simulator through RFC 2217 byte for byte"
# The version's reply, batch by batch, from its TX line to the next one.
reply=$(awk -F'\t' '$3 == "TX" { inside = ($6 == "[ESC]+#") } inside && $3 == "RX" { print $5 }' \
  "$work/round.tsv" | tr '\n' ' ' | sed 's/ $//')
[[ "$reply" == "$all_bytes" ]] || fail "the console received '${reply:0:120}...' for the version"
say "the console received all 256 byte values and FF FF exactly"

# --- the console: ser2net goes away and comes back ----------------------------------------------
start_console "$work/loss.tsv"
wait_line() { # pattern seconds
  for _ in $(seq "$(($2 * 10))"); do
    grep -q "$1" "$work/loss.tsv" 2>/dev/null && return 0
    sleep 0.1
  done
  cat "$work/loss.tsv" >&2
  fail "no '$1' in the console's transcript within $2 s"
}
wait_line $'\topened 9600,n,8,1' 20
stop_ser2net
wait_line $'\tlost: ' 10
start_ser2net
wait_line $'\tback$' 10
say "ser2net stopped: loss reported; started again: the link came back by itself"
