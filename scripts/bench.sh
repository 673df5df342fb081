#!/usr/bin/env bash
# Measures the console side by side with CuteCom, a Qt serial terminal in everyday use, on
# pseudo-terminals under a private X server, and prints one table per run: CPU per MiB of a
# flood, nothing lost, event-loop stalls, start-up, click to first byte, and the receive box's
# append cost. --soak runs console and simulator against each other for a long while; --flap N
# takes COM1's device away and back N times with nobody at the desk, instead of the tables;
# --server puts Debian's ser2net between the console and the line, COM1 being its RFC 2217 port,
# and sets floods and clicks that way beside the same on the bare pty, instead of the tables.
# --gang times `tqm810 run` of one unit script on COM1 against COM1..COM8, eight simulators, and
# nothing else (no X server, no peer).
#
#   scripts/bench.sh [--runs N] [--reps N] [--mib N] [--soak] [--soak-minutes M] [--soak-only]
#                    [--no-peer] [--a11y] [--orca] [--transcript] [--flap N] [--server] [--gang]
#
# --no-peer floods the console alone; --a11y runs the programs with Qt's accessibility on and an
# AT-SPI bus of the run's own, as under a screen reader; --orca floods the console alone, in the
# receive box, without and with the Orca screen reader listening, instead of the tables;
# --transcript has the console write a transcript of every exchange.
#
# Never opens a real serial port: every COM port is a link to a pseudo-terminal in a private
# ports directory, and every program runs with a private HOME and configuration.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build="${TQM_BENCH_BUILD_DIR:-$here/build-release}"

runs=1       # tables
reps=3       # fresh processes per figure and table; a table shows their medians
mib=1        # flood size
soak=0
soak_minutes=10
flap=0       # losses and returns of the device
table=1
peer=1
a11y=0
orca=0
transcript=0
server=0     # the device-server table
via_server=0 # the console's COM1 leads through ser2net
gang=0       # tqm810 on eight ports against one
while (($#)); do
  case "$1" in
    --runs) runs=$2; shift 2 ;;
    --reps) reps=$2; shift 2 ;;
    --mib) mib=$2; shift 2 ;;
    --soak) soak=1; shift ;;
    --soak-minutes) soak=1; soak_minutes=$2; shift 2 ;;
    --soak-only) soak=1; table=0; shift ;;
    --no-peer) peer=0; shift ;;
    --a11y) a11y=1; shift ;;
    --orca) orca=1; peer=0; shift ;;
    --flap) flap=$2; table=0; shift 2 ;;
    --transcript) transcript=1; shift ;;
    --server) server=1; table=0; shift ;;
    --gang) gang=1; shift ;;
    -h|--help) sed -n '2,21p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) echo "bench: unknown option $1 (see --help)" >&2; exit 2 ;;
  esac
done

check=bench
# shellcheck source=scripts/ci/lib/common.sh
source "$here/scripts/ci/lib/common.sh"
# shellcheck source=scripts/ci/lib/atspi.sh
source "$here/scripts/ci/lib/atspi.sh"
# shellcheck source=scripts/ci/lib/orca.sh
source "$here/scripts/ci/lib/orca.sh"

# --- what it needs -----------------------------------------------------------------------------
bash "$here/scripts/setup.sh"

# --- the figures' arithmetic, for every table ----------------------------------------------------
median() { sort -g | awk '{ v[NR] = $1 } END { if (NR) print (NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2) }'; }
maximum() { sort -g | tail -1; }
verdict() { awk -v v="$1" -v op="$2" -v t="$3" 'BEGIN {
  ok = (op == "<=" ? v <= t : op == "<" ? v < t : v >= t); print (v == "" ? "n/a" : ok ? "pass" : "FAIL") }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (b > 0) printf "%.2f", a / b; else print "" }'; }

# --- several units at once (--gang) ------------------------------------------------------------
# The README's station script on COM1 alone and on COM1..COM8, each a simulator: the wall time of
# `tqm810 run` and the CPU of its process (user and system), the two alternating, medians. The
# quick script leaves out the one step whose answer ends by falling quiet (100 ms), so that
# what every further port costs stands out.
gang_sims=()
gang_dir=""
gang_end() {
  local pid
  for pid in "${gang_sims[@]}"; do kill "$pid" 2>/dev/null; wait "$pid" 2>/dev/null; done
  [[ -n "$gang_dir" ]] && rm -rf "$gang_dir"
}
gang_run() {
  local ports n r way script steps load runs_each=$((reps * 5))
  gang_dir=$(mktemp -d "${TMPDIR:-/tmp}/tqm810-gang.XXXXXX")
  trap gang_end EXIT
  ports="$gang_dir/config/tqm810-console/ports"
  mkdir -p "$ports"
  for n in $(seq 8); do
    start_sim "$gang_dir/sim.log" "$build/sim/tqm810-sim" --quiet --ports-dir "$ports" --com "$n"
    gang_sims+=("$sim")
  done
  cat >"$gang_dir/station.tqm" <<'END'
# one unit off the line
send reset
expect [ACK]
send version
match '\[STX\]TQM-810 .*\[ETX\]\[CR\]'
send sensor
expect "[STX]0[ETX][CR]"
send relay
expect [ACK]
clock
expect [ACK]
send green
lcd "UNIT OK"
expect [ACK]
END
  grep -v '^send green' "$gang_dir/station.tqm" >"$gang_dir/quick.tqm"
  load=$(cut -d' ' -f1 /proc/loadavg)
  say "gang: $runs_each runs of each script on COM1 and on COM1..COM8, alternating"
  local TIMEFORMAT='%3R %3U %3S'
  for script in station quick; do
    steps=$(grep -vc '^#' "$gang_dir/$script.tqm")
    for r in $(seq "$runs_each"); do
      for way in 1 1-8; do
        { time XDG_CONFIG_HOME="$gang_dir/config" "$build/cli/tqm810" run --com "$way" \
          "$gang_dir/$script.tqm" >"$gang_dir/tap" 2>/dev/null || true; } 2>>"$gang_dir/$script.$way"
        n=$(grep -c '^ok ' "$gang_dir/tap" || true)
        ((n == steps * (${way#1-} + 0))) || fail "run --com $way $script.tqm: $n of its tests passed"
      done
    done
  done
  gang_median() { printf '%.1f' "$(awk "{ print $2 }" "$1" | median)"; } # file field-expression
  echo
  echo "tqm810 run, one unit script on COM1 and on COM1..COM8 ($(nproc) cores, load $load at the" \
    "start, $(date -u +%FT%TZ); medians of $runs_each runs each, eight simulators)"
  printf '%-40s %10s %10s %8s %8s  %s\n' "figure" "COM1" "COM1-8" "ratio" "target" "result"
  local one eight ratio target verdict
  # shellcheck disable=SC2016 # awk's fields: real, user and system seconds
  local -A expressions=([wall]='$1 * 1000' [cpu]='($2 + $3) * 1000')
  for script in station quick; do
    for figure in wall cpu; do
      one=$(gang_median "$gang_dir/$script.1" "${expressions[$figure]}")
      eight=$(gang_median "$gang_dir/$script.1-8" "${expressions[$figure]}")
      ratio=$(ratio "$eight" "$one")
      # The targets are the station's; the quick script shows the cost of a port.
      target=-
      verdict=-
      if [[ $script == station ]]; then
        target=$([[ $figure == wall ]] && echo 1.3 || echo 2.0)
        verdict=$(verdict "$ratio" "<=" "$target")
        target="<= $target"
      fi
      printf '%-40s %10s %10s %8s %8s  %s\n' \
        "$script script ($(grep -vc '^#' "$gang_dir/$script.tqm") steps), $figure ms" "$one" \
        "$eight" "$ratio" "$target" "$verdict"
    done
  done
  echo "  detail: each port beyond the first costs" \
    "$(awk -v a="$(gang_median "$gang_dir/quick.1-8" "${expressions[wall]}")" \
      -v b="$(gang_median "$gang_dir/quick.1" "${expressions[wall]}")" \
      'BEGIN { printf "%.1f", (a - b) / 7 }')" \
    "ms of wall time with the quick script"
}
if ((gang)); then
  cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTQM_BENCH=ON >/dev/null
  cmake --build "$build" --target tqm810 tqm810-sim >/dev/null
  gang_run
  exit 0
fi
# The peer and the X tools that drive it; set-up brings the benchmark library.
bench_packages=(cutecom xdotool xvfb libxtst6)
((a11y || orca)) && bench_packages+=(dbus at-spi2-core)
((server)) && bench_packages+=(ser2net)
install_missing "${bench_packages[@]}"
((orca)) && install_orca_packages

cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTQM_BENCH=ON >/dev/null
cmake --build "$build" --target tqm810-console tqm810-sim bench_harness bench_receive_box >/dev/null
console="$build/app/tqm810-console"
sim_program="$build/sim/tqm810-sim"
harness="$build/bench/bench_harness"
cutecom=$(command -v cutecom)

# --- a private world ---------------------------------------------------------------------------
work=$(mktemp -d "${TMPDIR:-/tmp}/tqm810-bench.XXXXXX")
started=()
stop_pid() { # pid: asks, then insists; reaped, and forgotten so its number is never reused
  local pid=$1 kept=() p
  for p in "${started[@]}"; do [[ "$p" == "$pid" ]] || kept+=("$p"); done
  started=("${kept[@]}")
  stop_process "$pid"
}
cleanup() {
  local pid
  for pid in "${started[@]}"; do stop_pid "$pid"; done 2>/dev/null
  [[ -n "${LINE_PID:-}" ]] && stop_pid "$LINE_PID"
  [[ -n "${TQM_BENCH_KEEP:-}" ]] && say "kept $work" || rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

mkfifo "$work/display"
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
xvfb_pid=$!
started+=("$xvfb_pid")
read -r -t 20 display_number <"$work/display" || { say "Xvfb did not start"; exit 1; }
export DISPLAY=":$display_number"
# Neither program may start a session bus of its own, which would outlive the run.
export DBUS_SESSION_BUS_ADDRESS="unix:path=$work/no-bus"
export QT_LOGGING_RULES="qt.qpa.*=false"

# A private HOME, configuration and runtime directory for one program run.
private_env() { # dir
  mkdir -p "$1/home" "$1/config" "$1/runtime"
  chmod 700 "$1/runtime"
  echo "HOME=$1/home XDG_CONFIG_HOME=$1/config XDG_RUNTIME_DIR=$1/runtime"
}

# With --a11y or --orca: a session bus and an AT-SPI bus and registry of the run's own, stopped with
# it; what they activate (dconf) keeps its settings in the run's folder.
if ((a11y || orca)); then
  export DBUS_SESSION_BUS_ADDRESS="unix:path=$work/session-bus"
  env $(private_env "$work/session") dbus-daemon --session --nofork \
    --address="$DBUS_SESSION_BUS_ADDRESS" 2>"$work/session-bus.log" &
  started+=($!)
  atspi_owned --session org.freedesktop.DBus || fail "the run's session bus did not come up"
  pids=()
  bus_status=0
  start_atspi_bus "$work" || bus_status=$?
  started+=("${pids[@]}")
  ((bus_status == 0)) || exit 1
  # Orca turns Qt's accessibility on by itself, as on a desktop.
  if ((a11y)); then export QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1; fi
fi

# The device end of the line: one coprocess at a time, spoken to line by line.
line_start() { # [link]
  if [[ -n "${1:-}" ]]; then
    coproc LINE { exec "$harness" line --link "$1"; }
  else
    coproc LINE { exec "$harness" line; }
  fi
  read -r -t 10 _ pty <&"${LINE[0]}" || { say "the line did not start"; exit 1; }
}
line_ask() { # command...: first reply line in $reply
  echo "$*" >&"${LINE[1]}"
  read -r -t 300 reply <&"${LINE[0]}" || { say "no answer to: $*"; exit 1; }
  [[ "$reply" != error* ]] || { say "$reply"; return 1; }
}
line_next() { read -r -t 300 reply <&"${LINE[0]}" || { say "the line went quiet"; exit 1; }; }
line_stop() {
  echo quit >&"${LINE[1]}" 2>/dev/null || true
  wait "$LINE_PID" 2>/dev/null || true
  LINE_PID=""
}

wait_for_line() { # file regex [seconds]
  local i
  for i in $(seq $((${3:-20} * 20))); do
    grep -Eq "$2" "$1" 2>/dev/null && return 0
    sleep 0.05
  done
  say "timed out waiting for /$2/ in $1"
  return 1
}

# The value after KEY in report block N of a console report.
report_value() { # file block key [field]
  awk -v b="$2" -v k="$3" -v f="${4:-2}" '
    $1 == "report" { inside = ($2 == b) }
    inside && $1 == k { print $f; exit }' "$1"
}
last_block() { awk '$1 == "report" { n = $2 } END { print n }' "$1"; }


bytes=$((mib * 1048576))

# The console on a fresh line as COM1, with a private world and a report file, until it has shown
# its window and opened the line; its pid in $console_pid.
console_start() { # dir
  local dir=$1
  local ports="$dir/config/tqm810-console/ports"
  mkdir -p "$ports"
  if ((via_server)); then
    line_start
    server_start "$dir"
    ln -s "rfc2217://127.0.0.1:$server_port" "$ports/com1"
  else
    line_start "$ports/com1"
  fi
  local args=()
  ((transcript)) && args=(--transcript "$dir/transcript.tsv")
  env $(private_env "$dir") TQM810_BENCH_REPORT="$dir/report" "$console" "${args[@]}" \
    2>"$dir/stderr" &
  console_pid=$!
  started+=("$console_pid")
  # Through a device server it is the server that holds the line, once the console has connected.
  line_ask open "$( ((via_server)) && echo "$server_pid" || echo "$console_pid")"
  wait_for_line "$dir/report" '^report 0 shown'
}

# ser2net in front of the line ($pty), its RFC 2217 accepter on a free port of 127.0.0.1.
server_start() { # dir
  server_port=$(free_port)
  cat >"$1/ser2net.yaml" <<EOF
connection: &bench
    accepter: telnet(rfc2217),tcp,127.0.0.1,$server_port
    connector: serialdev,$pty,9600n81,local
EOF
  ser2net -n -c "$1/ser2net.yaml" >"$1/ser2net.log" 2>&1 &
  server_pid=$!
  started+=("$server_pid")
  await_listener "$server_port" && return 0
  say "ser2net does not listen on $server_port"
  exit 1
}
server_stop() {
  if ((via_server)); then stop_pid "$server_pid"; fi
}
proc_cpu_ms() { awk -v hz="$(getconf CLK_TCK)" '{ printf "%.0f", ($14 + $15) * 1000 / hz }' "/proc/$1/stat"; }

# --- the console under a flood ------------------------------------------------------------------
console_flood() { # dir -> appends "cpu_ms_per_mib p99_ms max_ms shown_ok x_cpu_ms box_chars
  #                         expect_chars peak_rss_kib transcript_bytes" to $1/../console.flood
  local dir=$1 pid expect_chars expect_fnv
  console_start "$dir"
  pid=$console_pid
  if ((orca)); then
    # Where a technician listening to the device is: in the receive box.
    xdotool search --onlyvisible --name '^TQM-810' windowfocus --sync key F6
    sleep 1
  fi
  local server0=0
  ((via_server)) && server0=$(proc_cpu_ms "$server_pid")
  line_ask flood "$bytes" "$pid" "$xvfb_pid" 1
  read -r _ expect_chars expect_fnv <<<"$reply"
  line_next
  echo "$reply" >"$dir/flooded"
  # What the flood set going is said within the next seconds, by a console still there to ask.
  ((orca)) && sleep 3
  ((via_server)) && echo "$(($(proc_cpu_ms "$server_pid") - server0))" >>"$dir/../server.cpu"
  wait_for_line "$dir/report" '^report 2 '
  local hwm
  hwm=$(awk '/^VmHWM/ { print $2 }' "/proc/$pid/status")
  stop_pid "$pid"
  line_stop
  server_stop
  local net x box_chars box_fnv p99 max ok=0 written=0
  [[ -f "$dir/transcript.tsv" ]] && written=$(stat -c %s "$dir/transcript.tsv")
  net=$(sed -n 's/.*net_cpu_ms=\([0-9.]*\).*/\1/p' "$dir/flooded")
  x=$(sed -n 's/.*x_cpu_ms=\([0-9.]*\).*/\1/p' "$dir/flooded")
  p99=$(report_value "$dir/report" 2 heartbeats 6)
  max=$(report_value "$dir/report" 2 heartbeats 8)
  local end
  end=$(last_block "$dir/report")
  box_chars=$(report_value "$dir/report" "$end" box_chars)
  box_fnv=$(report_value "$dir/report" "$end" box_fnv)
  [[ "$box_chars" == "$expect_chars" && "$box_fnv" == "$expect_fnv" ]] && ok=1
  echo "$(awk -v n="$net" -v m="$mib" 'BEGIN { printf "%.2f", n / m }') $p99 $max $ok $x" \
    "$box_chars $expect_chars $hwm $written" >>"$dir/../console.flood"
}

# --- CuteCom under the same flood ----------------------------------------------------------------
cutecom_config() { # config-dir device
  mkdir -p "$1/CuteCom"
  # Hardware flow control only keeps it from setting DTR and RTS, which a pseudo-terminal lacks
  # (it closes the port when that fails); a pseudo-terminal has no such lines to obey anyway.
  # No reconnecting, so it never takes a later run's line.
  cat >"$1/CuteCom/CuteCom5.conf" <<EOF
[sessions]
1\\BaudRate=9600
1\\DataBits=8
1\\Device=$2
1\\FlowControl=1
1\\OpenMode=3
1\\Parity=0
1\\StopBits=1
1\\autoReconnect=false
1\\name=Default
1\\showCtrlCharacters=false
1\\showTimestamp=false
size=1
EOF
}

cutecom_flood() { # dir
  local dir=$1 pid wid tries
  line_start
  private_env "$dir" >/dev/null
  cutecom_config "$dir/config" "$pty"
  env $(private_env "$dir") "$cutecom" >"$dir/stderr" 2>&1 &
  pid=$!
  started+=("$pid")
  wid=$(timeout 20 xdotool search --sync --onlyvisible --name '^CuteCom - ' | head -1)
  [[ -n "$wid" ]] || { say "CuteCom showed no window"; return 1; }
  # Its Open button, top left of the window; clicked until the line is held.
  for tries in 1 2 3 4 5; do
    sleep 0.3
    xdotool mousemove --window "$wid" 50 43 click 1
    line_ask open "$pid" 3000 && break
    ((tries < 5)) || { say "CuteCom never opened $pty"; return 1; }
  done
  line_ask flood "$bytes" "$pid" "$xvfb_pid" 0
  line_next
  echo "$reply" >"$dir/flooded"
  stop_pid "$pid"
  line_stop
  local net x
  net=$(sed -n 's/.*net_cpu_ms=\([0-9.]*\).*/\1/p' "$dir/flooded")
  x=$(sed -n 's/.*x_cpu_ms=\([0-9.]*\).*/\1/p' "$dir/flooded")
  echo "$(awk -v n="$net" -v m="$mib" 'BEGIN { printf "%.2f", n / m }') $x" >>"$dir/../cutecom.flood"
}

# --- start-up to the window mapped, both by the same X watcher -----------------------------------
startups() { # dir
  local dir=$1 i result
  mkdir -p "$dir/console/config/tqm810-console/ports" "$dir/cutecom"
  line_start "$dir/console/config/tqm810-console/ports/com1"
  cutecom_config "$dir/cutecom/config" "$pty"
  # One of each first, uncounted: the first start of a program pays for cold caches.
  local ms size
  for i in $(seq 0 "$reps"); do
    read -r _ ms size < <("$harness" startup --name "TQM-810" -- \
      env $(private_env "$dir/console") "$console" 2>>"$dir/stderr")
    # A message box carries the window's title too, but not its size.
    [[ "${size%x*}" -ge 700 ]] || { say "the console showed a message box at start-up"; return 1; }
    ((i == 0)) || echo "$ms" >>"$dir/../console.startup"
    read -r _ ms size < <("$harness" startup --name "CuteCom - " -- \
      env $(private_env "$dir/cutecom") "$cutecom" 2>>"$dir/stderr")
    ((i == 0)) || echo "$ms" >>"$dir/../cutecom.startup"
  done
  line_stop
  # The console was ended by a signal it does not catch, so its lock on the line stayed behind.
  local name=${pty#/dev/}
  local lock="/run/lock/LCK..${name//\//_}"
  [[ -f "$lock" ]] && ! kill -0 "$(head -1 "$lock")" 2>/dev/null && rm -f "$lock"
  return 0
}

# --- click to the first byte at the far end -------------------------------------------------------
clicks() { # dir
  local dir=$1 pid x y end
  console_start "$dir"
  pid=$console_pid
  read -r _ _ x y < <(grep -m1 '^button cmd_version ' "$dir/report")
  echo "click $x $y 31 100" >&"${LINE[1]}"
  : >"$dir/far"
  while line_next && [[ "$reply" != clicked ]]; do echo "$reply" >>"$dir/far"; done
  stop_pid "$pid"
  line_stop
  server_stop
  end=$(last_block "$dir/report")
  # The first click warms up (the first frame encoded, the pressed look first drawn); the thirty
  # after it count.
  awk '$3 != "none" { n++; if (n > 1) printf "%.3f\n", ($3 - $2) / 1e6 }' "$dir/far" \
    >>"$dir/../click.far"
  awk -v b="$end" '$1 == "report" { inside = ($2 == b) } inside && $1 == "click" { print }' \
    "$dir/report" | tail -n +2 >"$dir/seen"
  tail -n +2 "$dir/far" | paste -d' ' - "$dir/seen" |
    awk '$3 != "none" { printf "%.3f %.3f\n", ($6 - $2) / 1e6, ($3 - $6) / 1e6 }' \
      >>"$dir/../click.parts"
}

# --- the receive box alone -----------------------------------------------------------------------
box_bench() { # dir
  "$build/bench/bench_receive_box" --benchmark_color=false >"$1/box.txt" 2>&1 || true
  sed -n 's/.* = \([0-9.]*\) (limit.*/\1/p' "$1/box.txt" | tail -1 >"$1/../box.ratio"
}


table_run() { # number
  local run=$1 dir="$work/run$1" r load
  mkdir -p "$dir"
  # Other work on the machine shows in every figure; the table says how busy it was.
  load=$(cut -d' ' -f1 /proc/loadavg)
  say "table $run: floods ($reps x ${mib} MiB each program)"
  for r in $(seq "$reps"); do
    mkdir -p "$dir/console$r" "$dir/cutecom$r"
    console_flood "$dir/console$r"
    cutecom_flood "$dir/cutecom$r"
  done
  say "table $run: start-up ($reps each, after one uncounted)"
  mkdir -p "$dir/startup"
  startups "$dir/startup"
  say "table $run: clicks"
  mkdir -p "$dir/click"
  clicks "$dir/click"
  say "table $run: receive box append cost"
  mkdir -p "$dir/box"
  box_bench "$dir/box"

  local ours theirs ratio_cpu p99 max lost_ok su_ours su_theirs ratio_su click_med click_p90
  local box_ratio x_ours x_theirs shown
  ours=$(cut -d' ' -f1 "$dir/console.flood" | median)
  theirs=$(cut -d' ' -f1 "$dir/cutecom.flood" | median)
  x_ours=$(cut -d' ' -f5 "$dir/console.flood" | median)
  x_theirs=$(cut -d' ' -f2 "$dir/cutecom.flood" | median)
  ratio_cpu=$(ratio "$ours" "$theirs")
  p99=$(cut -d' ' -f2 "$dir/console.flood" | maximum)
  max=$(cut -d' ' -f3 "$dir/console.flood" | maximum)
  lost_ok=$(awk '{ s += $4 } END { print (s == NR ? 1 : 0) }' "$dir/console.flood")
  shown=$(awk '{ printf "%s%s/%s", (NR > 1 ? ", " : ""), $6, $7 }' "$dir/console.flood")
  su_ours=$(median <"$dir/console.startup")
  su_theirs=$(median <"$dir/cutecom.startup")
  ratio_su=$(ratio "$su_ours" "$su_theirs")
  click_med=$(median <"$dir/click.far")
  click_p90=$(sort -g "$dir/click.far" | awk '{ v[NR] = $1 } END { print v[int(NR * 0.9 + 0.999)] }')
  box_ratio=$(cat "$dir/box.ratio")

  echo
  echo "Table $run  ($(nproc) cores, load $load at the start, $(date -u +%FT%TZ); medians of $reps" \
    "fresh runs; ${mib} MiB floods)"
  printf '%-44s %12s %12s %8s %10s  %s\n' "figure" "console" "CuteCom" "ratio" "target" "result"
  printf '%-44s %12s %12s %8s %10s  %s\n' "CPU s per MiB received and shown" \
    "$(awk -v v="$ours" 'BEGIN { printf "%.4f", v / 1000 }')" \
    "$(awk -v v="$theirs" 'BEGIN { printf "%.4f", v / 1000 }')" "$ratio_cpu" "<= 0.20x" \
    "$(verdict "$ratio_cpu" "<=" 0.20)"
  printf '%-44s %12s %12s %8s %10s  %s\n' "whole payload shown (chars and checksum)" \
    "$( ((lost_ok)) && echo all || echo LOST)" "-" "-" "all" "$( ((lost_ok)) && echo pass || echo FAIL)"
  printf '%-44s %12s %12s %8s %10s  %s\n' "event-loop stall during flood, p99 ms" "$p99" "-" "-" \
    "< 50" "$(verdict "$p99" "<" 50)"
  printf '%-44s %12s %12s %8s %10s  %s\n' "start-up to window mapped, ms" "$su_ours" "$su_theirs" \
    "$ratio_su" "<= 1.00x" "$(verdict "$ratio_su" "<=" 1.0)"
  printf '%-44s %12s %12s %8s %10s  %s\n' "click to first byte at far end, median ms" \
    "$click_med" "-" "-" "< 1" "$(verdict "$click_med" "<" 1)"
  printf '%-44s %12s %12s %8s %10s  %s\n' "box append cost, slowest/fastest of 0..50 MB" \
    "$box_ratio" "-" "-" "<= 2.00" "$(verdict "$box_ratio" "<=" 2.0)"
  echo "  detail: flood CPU ms per MiB, each run: console $(cut -d' ' -f1 "$dir/console.flood" | xargs)," \
    "CuteCom $(cut -d' ' -f1 "$dir/cutecom.flood" | xargs)"
  echo "  detail: X server CPU ms during the flood: console $x_ours, CuteCom $x_theirs (not in the figures)"
  echo "  detail: stall max ms $max; box chars shown/expected: $shown"
  flood_memory_detail "$dir"
  echo "  detail: start-up ms, each run: console $(xargs <"$dir/console.startup"), CuteCom $(xargs <"$dir/cutecom.startup")"
  echo "  detail: click to first byte: p90 $click_p90 ms over $(wc -l <"$dir/click.far") clicks;" \
    "median parts: X server and Qt to the button $(cut -d' ' -f1 "$dir/click.parts" | median) ms," \
    "button to the byte at the far end $(cut -d' ' -f2 "$dir/click.parts" | median) ms"
}

# The console's peak memory in the floods, and the transcript it wrote.
flood_memory_detail() { # dir
  echo "  detail: console peak RSS (VmHWM) MiB, each run:" \
    "$(awk '{ printf "%s%.1f", (NR > 1 ? " " : ""), $8 / 1024 }' "$1/console.flood");" \
    "transcript $( ((transcript)) && echo on || echo off)"
  if ((transcript)); then
    echo "  detail: transcript bytes written, each run: $(cut -d' ' -f9 "$1/console.flood" | xargs)"
  fi
}

# --- the console alone under floods (--no-peer) -------------------------------------------------
flood_only_run() { # number
  local run=$1 dir="$work/run$1" r load ours p99 lost_ok
  mkdir -p "$dir"
  load=$(cut -d' ' -f1 /proc/loadavg)
  say "table $run: floods ($reps x ${mib} MiB, the console alone)"
  for r in $(seq "$reps"); do
    mkdir -p "$dir/console$r"
    console_flood "$dir/console$r"
  done
  ours=$(cut -d' ' -f1 "$dir/console.flood" | median)
  p99=$(cut -d' ' -f2 "$dir/console.flood" | maximum)
  lost_ok=$(awk '{ s += $4 } END { print (s == NR ? 1 : 0) }' "$dir/console.flood")
  echo
  echo "Table $run, the console alone  ($(nproc) cores, load $load at the start, $(date -u +%FT%TZ);" \
    "accessibility $( ((a11y)) && echo on || echo off); transcript $( ((transcript)) && echo on || echo off); medians of $reps fresh runs; ${mib} MiB floods)"
  printf '%-44s %12s\n' "CPU s per MiB received and shown" \
    "$(awk -v v="$ours" 'BEGIN { printf "%.4f", v / 1000 }')"
  printf '%-44s %12s\n' "whole payload shown (chars and checksum)" "$( ((lost_ok)) && echo all || echo LOST)"
  printf '%-44s %12s\n' "event-loop stall during flood, p99 ms" "$p99"
  echo "  detail: flood CPU ms per MiB, each run: $(cut -d' ' -f1 "$dir/console.flood" | xargs)"
  flood_memory_detail "$dir"
}

# --- the console alone under floods, without Orca and with it (--orca) ---------------------------
orca_run() { # number
  local run=$1 dir="$work/run$1" r o load from said off on lost_ok
  mkdir -p "$dir/off" "$dir/on"
  load=$(cut -d' ' -f1 /proc/loadavg)
  say "table $run: floods ($reps x ${mib} MiB each, the console alone, without Orca and with it)"
  for r in $(seq "$reps"); do
    mkdir -p "$dir/off/$r" "$dir/on/$r"
    console_flood "$dir/off/$r"
    o="$dir/orca$r"
    private_env "$o" >/dev/null
    mkdir -p "$o/data"
    HOME="$o/home" XDG_CONFIG_HOME="$o/config" XDG_RUNTIME_DIR="$o/runtime" \
      XDG_DATA_HOME="$o/data" start_orca "$o/speech.log" stamped || exit 1
    started+=("$speechd_pid" "$orca_pid")
    from=$(stat -c %s "$o/speech.log")
    console_flood "$dir/on/$r"
    # The replies Orca spoke: how many, and the most in any one second.
    tail -c +$((from + 1)) "$o/speech.log" | awk '$2 == "notification" { print $1 }' >"$o/times"
    echo "$(wc -l <"$o/times") $(awk '{ t[NR] = $1 } END { for (i = 1; i <= NR; i++) {
        n = 0; for (j = i; j <= NR && t[j] < t[i] + 1; j++) n++; if (n > m) m = n }; print m + 0 }' \
      "$o/times") $(sed -n 's/.*settle_ms=\([0-9.]*\).*/\1/p' "$dir/on/$r/flooded")" >>"$dir/said"
    stop_pid "$orca_pid"
    stop_pid "$speechd_pid"
  done
  off=$(cut -d' ' -f1 "$dir/off/console.flood" | median)
  on=$(cut -d' ' -f1 "$dir/on/console.flood" | median)
  lost_ok=$(cat "$dir"/{off,on}/console.flood | awk '{ s += $4 } END { print (s == NR ? 1 : 0) }')
  echo
  echo "Table $run, the console alone in its receive box  ($(nproc) cores, load $load at the start," \
    "$(date -u +%FT%TZ); medians of $reps fresh runs; ${mib} MiB floods)"
  printf '%-44s %12s %12s %8s %10s  %s\n' "figure" "no Orca" "Orca" "ratio" "target" "result"
  printf '%-44s %12s %12s %8s %10s  %s\n' "CPU s per MiB received and shown" \
    "$(awk -v v="$off" 'BEGIN { printf "%.4f", v / 1000 }')" \
    "$(awk -v v="$on" 'BEGIN { printf "%.4f", v / 1000 }')" "$(ratio "$on" "$off")" "<= 1.50x" \
    "$(verdict "$(ratio "$on" "$off")" "<=" 1.5)"
  printf '%-44s %12s %12s %8s %10s  %s\n' "whole payload shown (chars and checksum)" \
    "$( ((lost_ok)) && echo all || echo LOST)" "-" "-" "all" "$( ((lost_ok)) && echo pass || echo FAIL)"
  said=$(cut -d' ' -f2 "$dir/said" | maximum)
  printf '%-44s %12s %12s %8s %10s  %s\n' "utterances in any one second of the flood" "-" \
    "$said" "-" "<= 2" "$(verdict "$said" "<=" 2)"
  echo "  detail: flood CPU ms per MiB, each run: no Orca $(cut -d' ' -f1 "$dir/off/console.flood" |
    xargs), Orca $(cut -d' ' -f1 "$dir/on/console.flood" | xargs)"
  echo "  detail: utterances in all, over a flood of (first byte to idle), each run:" \
    "$(awk '{ printf "%s%d over %.1f s", (NR > 1 ? ", " : ""), $1, $3 / 1000 }' "$dir/said")"
}

# --- through a device server ---------------------------------------------------------------------
server_run() { # number
  local run=$1 dir="$work/server$1" r way load
  load=$(cut -d' ' -f1 /proc/loadavg)
  say "server table $run: floods ($reps x ${mib} MiB) and clicks, on the pty and through ser2net"
  for r in $(seq "$reps"); do
    for way in pty ser2net; do
      via_server=$([[ $way == ser2net ]] && echo 1 || echo 0)
      mkdir -p "$dir/$way/flood$r"
      console_flood "$dir/$way/flood$r"
    done
  done
  for way in pty ser2net; do
    via_server=$([[ $way == ser2net ]] && echo 1 || echo 0)
    mkdir -p "$dir/$way/clicks"
    clicks "$dir/$way/clicks"
  done
  via_server=0
  local cpu_pty cpu_net wall_pty wall_net click_pty click_net lost_ok
  cpu_pty=$(cut -d' ' -f1 "$dir/pty/console.flood" | median)
  cpu_net=$(cut -d' ' -f1 "$dir/ser2net/console.flood" | median)
  wall() { sed -n 's/.*settle_ms=\([0-9.]*\).*/\1/p' "$1"/flood*/flooded | median; }
  wall_pty=$(wall "$dir/pty")
  wall_net=$(wall "$dir/ser2net")
  click_pty=$(median <"$dir/pty/click.far")
  click_net=$(median <"$dir/ser2net/click.far")
  lost_ok=$(cat "$dir"/*/console.flood | awk '{ s += $4 } END { print (s == NR ? 1 : 0) }')
  echo
  echo "Server table $run, the console on the pty and through ser2net $(ser2net -v | awk '{ print $3 }')" \
    "($(nproc) cores, load $load at the start, $(date -u +%FT%TZ); medians of $reps fresh runs; ${mib} MiB floods)"
  printf '%-44s %12s %12s %8s %10s  %s\n' "figure" "pty" "ser2net" "ratio" "target" "verdict"
  printf '%-44s %12s %12s %8s %10s  %s\n' "console CPU ms per MiB received and shown" \
    "$cpu_pty" "$cpu_net" "$(ratio "$cpu_net" "$cpu_pty")" "<= 1.50" \
    "$(verdict "$(ratio "$cpu_net" "$cpu_pty")" "<=" 1.5)"
  printf '%-44s %12s %12s %8s\n' "flood wall ms, first byte out to all shown" "$wall_pty" "$wall_net" \
    "$(ratio "$wall_net" "$wall_pty")"
  printf '%-44s %12s %12s\n' "click to first byte at the far end, median ms" "$click_pty" "$click_net"
  printf '%-44s %12s\n' "whole payload shown (chars and checksum)" "$( ((lost_ok)) && echo all || echo LOST)"
  echo "  detail: console CPU ms per MiB, each run: pty $(cut -d' ' -f1 "$dir/pty/console.flood" | xargs)," \
    "ser2net $(cut -d' ' -f1 "$dir/ser2net/console.flood" | xargs)"
  echo "  detail: ser2net's own CPU ms per flood: $(xargs <"$dir/ser2net/server.cpu") (not in the figures)"
}

# --- the soak ------------------------------------------------------------------------------------
proc_rss() { awk '/^VmRSS/ { print $2 }' "/proc/$1/status"; }
proc_fds() { ls "/proc/$1/fd" | wc -l; }

soak_run() {
  local dir="$work/soak" pid sim_pid minute
  local ports="$dir/config/tqm810-console/ports"
  mkdir -p "$ports"
  start_sim "$dir/sim.out" "$sim_program" --ports-dir "$ports" --com 1 || exit 1
  sim_pid=$sim
  started+=("$sim_pid")
  env $(private_env "$dir") TQM810_BENCH_REPORT="$dir/report" TQM810_BENCH_ROUND_MS=1000 \
    "$console" 2>"$dir/stderr" &
  pid=$!
  started+=("$pid")
  wait_for_line "$dir/report" '^report 0 shown'
  say "soak: every command once a second for $soak_minutes minute(s)"
  echo "minute console_rss_kb console_fds sim_rss_kb sim_fds" >"$dir/samples"
  echo "0 $(proc_rss "$pid") $(proc_fds "$pid") $(proc_rss "$sim_pid") $(proc_fds "$sim_pid")" >>"$dir/samples"
  for minute in $(seq "$soak_minutes"); do
    sleep 60
    kill -0 "$pid" 2>/dev/null || { say "soak: the console ended early"; break; }
    echo "$minute $(proc_rss "$pid") $(proc_fds "$pid") $(proc_rss "$sim_pid") $(proc_fds "$sim_pid")" >>"$dir/samples"
  done
  stop_pid "$pid"
  local end driven frames
  end=$(last_block "$dir/report")
  driven=$(report_value "$dir/report" "$end" driven)
  local beats
  beats=$(awk -v b="$end" '$1 == "report" { inside = ($2 == b) }
    inside && $1 == "heartbeats" { printf "p99 %s ms, max %s ms over %s beats", $6, $8, $2 }
    inside && $1 == "cpu_ms" { printf "; console CPU %.1f s", $2 / 1000 }' "$dir/report")
  # Its complaints come in the same stream as its frame lines.
  frames=$(grep -vc -e '^skipped ' -e '^tqm810-sim: ' "$dir/sim.out" || true)
  stop_pid "$sim_pid"
  echo
  echo "Soak: $soak_minutes minute(s), $(nproc) cores; $driven command clicks, $frames frames handled by the simulator"
  echo "event-loop lateness: $beats"
  column -t "$dir/samples"
  awk 'NR == 2 { r0 = $2; f0 = $3; s0 = $4; g0 = $5 } NR > 2 { r = $2; f = $3; s = $4; g = $5 }
       NR == 3 { r1 = $2 }
       END { printf "console RSS %+d kB from start (%+d kB after the first minute), fds %+d; simulator RSS %+d kB, fds %+d\n",
                    r - r0, r - r1, f - f0, s - s0, g - g0 }' "$dir/samples"
  grep -q -e '^skipped ' -e '^tqm810-sim: ' "$dir/sim.out" &&
    { echo "simulator complaints:"; grep -e '^skipped ' -e '^tqm810-sim: ' "$dir/sim.out" | head -5; } || true
}

# --- a device that keeps going away and coming back ------------------------------------------
flap_reports() { # visible windows with the console's title, less the console's own
  local n
  n=$(xdotool search --onlyvisible --name '^TQM-810' 2>/dev/null | wc -l)
  echo $((n - 1))
}

flap_run() {
  local dir="$work/flap" pid cycle taken=0 x y report_wid got
  local ports="$dir/config/tqm810-console/ports"
  console_start "$dir"
  pid=$console_pid
  say "flap: $flap losses and returns of COM1, nobody at the desk"
  echo "cycle console_rss_kb console_fds reports_open" >"$dir/samples"
  echo "0 $(proc_rss "$pid") $(proc_fds "$pid") $(flap_reports)" >>"$dir/samples"
  for cycle in $(seq "$flap"); do
    line_stop # the device goes, and its link with it
    line_start "$ports/com1"
    # Taken back within a few retries, or it never will be.
    line_ask open "$pid" 5000 || break
    taken=$cycle
    if ((cycle % 10 == 0 || cycle == 1)); then
      echo "$cycle $(proc_rss "$pid") $(proc_fds "$pid") $(flap_reports)" >>"$dir/samples"
    fi
  done
  local alive=yes reports after_ok=""
  kill -0 "$pid" 2>/dev/null || alive=no
  reports=$(flap_reports)
  # The operator comes back: OK on the report, then a command to the device.
  report_wid=$(xdotool search --onlyvisible --name '^TQM-810' 2>/dev/null | while read -r w; do
    [[ $(xdotool getwindowgeometry "$w" | sed -n 's/.*Geometry: \([0-9]*\)x.*/\1/p') -lt 700 ]] &&
      echo "$w"
  done | head -1)
  if [[ -n "$report_wid" ]]; then
    xdotool windowfocus --sync "$report_wid" key Return 2>/dev/null || true
    for _ in $(seq 40); do (($(flap_reports) == 0)) && break; sleep 0.05; done
  fi
  after_ok=$(flap_reports)
  read -r _ _ x y < <(grep -m1 '^button cmd_version ' "$dir/report")
  echo "click $x $y 1 100" >&"${LINE[1]}"
  got=none
  while line_next && [[ "$reply" != clicked ]]; do got=$(cut -d' ' -f3 <<<"$reply"); done
  stop_pid "$pid"
  line_stop
  echo
  echo "Flap: $taken of $flap returns taken back, $(nproc) cores; console alive: $alive;" \
    "loss reports open at the end: $reports, after OK: $after_ok"
  echo "command after OK reached the device: $([[ "$got" != none ]] && echo yes || echo NO)"
  column -t "$dir/samples"
  awk 'NR == 2 { r0 = $2; f0 = $3 } NR == 3 { r1 = $2; f1 = $3 } NR > 2 { r = $2; f = $3 }
       END { printf "console RSS %+d kB from start (%+d kB after the first cycle), fds %+d (%+d after the first cycle)\n",
                    r - r0, r - r1, f - f0, f - f1 }' "$dir/samples"
}

if ((table)); then
  for run in $(seq "$runs"); do
    if ((orca)); then
      orca_run "$run"
    elif ((peer)); then
      table_run "$run"
    else
      flood_only_run "$run"
    fi
  done
fi
if ((server)); then
  for run in $(seq "$runs"); do server_run "$run"; done
fi
if ((soak)); then soak_run; fi
if ((flap)); then flap_run; fi
