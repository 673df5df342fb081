#!/usr/bin/env bash
# CI: a newcomer's first minute on a fresh Debian 12. In a minimal root (debootstrap minbase) with
# a clean clone of the commit under test, runs the README's test command as the README writes it,
# then its run command under xvfb-run: the console's window must map on the simulator's COM1, and
# when the run command is told to stop, nothing may be left running. The root is unmounted and
# removed afterwards, whatever happened.
#
# Cached under ${XDG_CACHE_HOME:-$HOME/.cache}/tqm810-ci/ so only a machine's first run pays for
# them: the minbase root as a tarball (made again after 30 days), and the downloaded .deb files,
# bound onto the root's apt archive folder. Neither can hide a missing install step: the root
# starts without any of the project's packages, and set-up still has to name and install each.
#
# Never opens a real serial port: the run command gives the console a private ports folder whose
# only entry is the simulator's pty.
set -euo pipefail
here=$(cd "$(dirname "$0")/../.." && pwd)
cache="${XDG_CACHE_HOME:-$HOME/.cache}/tqm810-ci"
tarball="$cache/bookworm-minbase.tar.gz"
archives="$cache/archives"
clone=/root/tqm810-console   # the clone's folder as seen inside the root
smoke_seconds=3
check=fresh-machine
# shellcheck source=scripts/ci/lib/common.sh
source "$here/scripts/ci/lib/common.sh"
[[ $(id -u) -eq 0 ]] || fail "needs root (debootstrap, chroot, mounts); CI runs it as root"

# --- the state the clean-up undoes --------------------------------------------------------------
work=""
helper=""   # a host process of ours (debootstrap, the runner of a command in the root)
timings=()
clock=$SECONDS

# Processes whose root directory lies in our work folder: everything started inside the root.
rooted_pids() {
  local p r
  for p in /proc/[0-9]*; do
    r=$(readlink "$p/root" 2>/dev/null) || continue
    [[ "$r" == "$work"/* ]] && echo "${p#/proc/}"
  done
  return 0
}
stop_rooted() {
  local pids
  pids=$(rooted_pids)
  [[ -n "$pids" ]] || return 0
  # shellcheck disable=SC2086 # one word per pid
  kill -TERM $pids 2>/dev/null
  for _ in $(seq 50); do
    [[ -n "$(rooted_pids)" ]] || return 0
    sleep 0.1
  done
  pids=$(rooted_pids)
  # shellcheck disable=SC2086 # one word per pid
  [[ -n "$pids" ]] && kill -KILL $pids 2>/dev/null
  sleep 0.2
}
# Mount points under the work folder, the most recent first.
our_mounts() {
  awk -v w="$work/" 'index($5, w) == 1 { print $5 }' /proc/self/mountinfo | tac
}
cleanup() {
  local status=$? m left
  set +e
  trap - INT TERM
  [[ -n "$helper" ]] && kill -TERM "$helper" 2>/dev/null
  # What runs in the root goes first: the helper may be waiting for it.
  [[ -n "$work" ]] && stop_rooted
  if [[ -n "$helper" ]]; then
    for _ in $(seq 100); do kill -0 "$helper" 2>/dev/null || break; sleep 0.1; done
    kill -KILL "$helper" 2>/dev/null
    wait "$helper" 2>/dev/null
  fi
  if [[ -n "$work" ]]; then
    while read -r m; do
      [[ -n "$m" ]] || continue
      umount "$m" 2>/dev/null || umount -l "$m" || say "could not unmount $m"
    done < <(our_mounts)
    left=$(our_mounts)
    if [[ -n "$left" ]]; then
      say "FAIL: still mounted, so $work stays: ${left//$'\n'/, }"
      status=1
    else
      rm -rf --one-file-system "$work"
    fi
  fi
  if ((${#timings[@]})); then
    say "timings: ${timings[*]}"
  fi
  if ((status == 0)); then say "passed in $((SECONDS - clock)) s"; else say "failed after $((SECONDS - clock)) s"; fi
  exit "$status"
}
trap cleanup EXIT
trap 'exit 143' TERM
trap 'exit 130' INT

lap_start=$SECONDS
lap() { # name: the time since the last lap
  timings+=("$1 $((SECONDS - lap_start)) s,")
  lap_start=$SECONDS
}

# The first line of a log that says what went wrong; a CMake error with the lines that explain it.
first_error() { # log
  local line
  line=$(awk '
    found && /^(  |[ \t]*$)/ { sub(/^[ \t]+/, ""); if ($0 != "") msg = msg " " $0; next }
    found { exit }
    /^CMake Error/ { msg = $0; found = 1; next }
    /^E: |[Ee]rror[: ]|FAIL|[Ff]ailed|[Nn]o such|[Cc]annot |not found|Timeout/ { msg = $0; exit }
    END { print msg }' "$1")
  [[ -n "$line" ]] || line=$(grep -v '^[[:space:]]*$' "$1" | tail -n 1)
  line=$(tr -s ' ' <<<"$line")
  ((${#line} <= 500)) || line="${line:0:500}…"
  echo "$line"
}
step_failed() { # name log
  say "the last lines of $1:"
  tail -n 40 "$2" | sed 's/^/  | /' >&2
  fail "$1: $(first_error "$2")"
}

# Runs in the background and waits, so a TERM or INT to this script is handled at once.
run_logged() { # log command...
  local log=$1 status=0
  shift
  "$@" >"$log" 2>&1 &
  helper=$!
  wait "$helper" || status=$?
  helper=""
  return "$status"
}

# As a newcomer's shell in the clone's folder would: root, a HOME, a UTF-8 locale, no display.
in_root() { # command line
  env -i HOME=/root PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
    LANG=C.UTF-8 TERM=dumb DEBIAN_FRONTEND=noninteractive \
    chroot "$root" /bin/bash -c "cd $clone && $1"
}

# --- the mirror: the bookworm main archive that this machine's own apt uses ----------------------
mirror_uri() {
  apt-get indextargets --format '$(SITE)' 'RELEASE: bookworm' 'COMPONENT: main' \
    'IDENTIFIER: Packages' | grep -E '^https?://'
}

# --- the root -----------------------------------------------------------------------------------
export DEBIAN_FRONTEND=noninteractive
install_missing debootstrap
mkdir -p "$cache" "$archives/partial"
# One run at a time per cache: they would share the tarball and apt's lock on the archive folder.
exec 9>"$cache/lock"
flock -n 9 || { say "waiting for another run that holds $cache"; flock -w 3600 9; } ||
  fail "another run has held $cache for an hour"
work=$(mktemp -d /var/tmp/tqm810-fresh.XXXXXX)
root="$work/root"

if [[ ! -s "$tarball" || -n "$(find "$tarball" -mtime +30)" ]]; then
  mirror=$(mirror_uri | head -n 1)
  [[ -n "$mirror" ]] ||
    fail "apt knows no bookworm main archive (apt-get indextargets)"
  say "making the minbase root once for this machine, from $mirror"
  run_logged "$work/debootstrap.log" debootstrap --variant=minbase bookworm "$work/boot" "$mirror" ||
    step_failed "debootstrap --variant=minbase bookworm" "$work/debootstrap.log"
  # Its own .deb files would only lie under the bound archive folder.
  rm -f "$work/boot/var/cache/apt/archives/"*.deb
  tar -C "$work/boot" --numeric-owner -czf "$tarball.part" .
  mv "$tarball.part" "$tarball"
  rm -rf --one-file-system "${work:?}/boot"
  lap debootstrap
fi
mkdir "$root"
tar -C "$root" --numeric-owner -xzf "$tarball"
lap unpack

bind() { # source target
  mkdir -p "$2"
  mount --bind "$1" "$2"
  # Nothing mounted below it may reach the host's own tree.
  mount --make-private "$2"
}
bind /dev "$root/dev"
bind /dev/pts "$root/dev/pts"
mount -t tmpfs -o mode=1777,nosuid,nodev shm "$root/dev/shm"
bind /proc "$root/proc"
bind /sys "$root/sys"
bind "$archives" "$root/var/cache/apt/archives"
cp -L /etc/resolv.conf "$root/etc/resolv.conf"

commit=$(git -C "$here" rev-parse HEAD)
git clone -q --no-local "$here" "$root$clone"
git -C "$root$clone" checkout -q --detach "$commit"
say "a clean clone of $(git -C "$here" log -1 --format='%h %s' "$commit")"

# The README's two commands, from its "Two commands" section.
mapfile -t commands < <(awk '
  /^## Two commands/ { inside = 1; next }
  inside && /^## / { exit }
  inside && /^```sh/ { block = 1; next }
  block && /^```/ { exit }
  block { sub(/[ \t]*#.*/, ""); if ($0 != "") print }' "$here/README.md")
test_command="" run_command=""
for c in "${commands[@]}"; do
  case "$c" in
    *test*) test_command=$c ;;
    *run*) run_command=$c ;;
  esac
done
[[ ${#commands[@]} -eq 2 && -n "$test_command" && -n "$run_command" ]] ||
  fail "README.md's \"Two commands\" section does not hold one test and one run command"

# --- the README's test command ------------------------------------------------------------------
say "the README's test command: $test_command"
stamp() { while IFS= read -r l; do printf '%(%s)T %s\n' -1 "$l"; done; }
test_step() { in_root "$test_command" 2>&1 | stamp; }
test_start=$(printf '%(%s)T' -1)
run_logged "$work/test.stamped" test_step || {
  cut -d' ' -f2- "$work/test.stamped" >"$work/test.log"
  step_failed "$test_command" "$work/test.log"
}
# Set-up and configuring end where the build prints its first step; ctest gives its own time.
timings+=("$(awk -v t0="$test_start" -v end="$(printf '%(%s)T' -1)" '
  !b && $2 ~ /^\[[0-9]+\/[0-9]+\]/ { b = $1 }
  /Total Test time \(real\)/ { t = $(NF - 1) }
  END { if (b && t) printf "set-up %d s, build %d s, tests %d s,", b - t0, end - b - t, t }' \
  "$work/test.stamped")")
say "$(grep -E 'tests passed|tests failed' "$work/test.stamped" | cut -d' ' -f2-)"
lap "test command"

# --- the README's run command, on a display of its own ------------------------------------------
say "the README's run command: xvfb-run -a $run_command"
in_root "exec xvfb-run -a $run_command" >"$work/run.log" 2>&1 &
helper=$!
runner=$helper
exe_pid() { # program inside the root: the pid running it
  local p
  for p in $(rooted_pids); do
    [[ "$(readlink "/proc/$p/exe" 2>/dev/null)" == "$root$1" ]] && { echo "$p"; return 0; }
  done
  return 1
}
console=""
for _ in $(seq 1200); do
  console=$(exe_pid "$clone/build/app/tqm810-console") && break
  kill -0 "$runner" 2>/dev/null || step_failed "xvfb-run -a $run_command" "$work/run.log"
  sleep 0.1
done
[[ -n "$console" ]] || step_failed "xvfb-run -a $run_command (no console within 120 s)" "$work/run.log"
exe_pid "$clone/build/sim/tqm810-sim" >/dev/null || fail "the run command started no simulator"
lap "run command until the console runs"
environ() { tr '\0' '\n' <"/proc/$console/environ" | sed -n "s/^$1=//p"; }
display=$(environ DISPLAY)
xauthority=$(environ XAUTHORITY)
config=$(environ XDG_CONFIG_HOME)
[[ -n "$config" ]] || fail "the run command started the console without a private ports folder"
link=$(readlink "$root$config/tqm810-console/ports/com1") ||
  fail "the simulator made no COM1 in $config/tqm810-console/ports"
[[ "$link" == /dev/pts/* ]] || fail "COM1 is $link, not the simulator's pseudo-terminal"
say "COM1 is the simulator on $link, display $display"

# The window checker comes only now, after both commands' set-up, so it cannot stand in for a
# package that set-up forgot.
run_logged "$work/tools.log" in_root \
  "apt-get install -y -qq --no-install-recommends xdotool >/dev/null" ||
  step_failed "installing xdotool to look for the window" "$work/tools.log"
run_logged "$work/window.log" in_root \
  "DISPLAY=$display XAUTHORITY=$xauthority timeout 60 xdotool search --sync --name 'TQM-810'" || {
  cat "$work/run.log" >>"$work/window.log"
  step_failed "the console's window did not map within 60 s" "$work/window.log"
}
say "the window is up: $(in_root "DISPLAY=$display XAUTHORITY=$xauthority \
  xdotool getwindowname $(head -n 1 "$work/window.log")")"
sleep "$smoke_seconds"
kill -0 "$console" 2>/dev/null || step_failed "the console ended by itself" "$work/run.log"

# Stopped as a supervisor would: a TERM to the run command's script, the child of xvfb-run.
script=""
for p in $(rooted_pids); do
  parent=$(awk '{ print $4 }' "/proc/$p/stat" 2>/dev/null) || continue
  grep -qzx "$run_command" "/proc/$p/cmdline" 2>/dev/null &&
    grep -qz 'xvfb-run' "/proc/$parent/cmdline" 2>/dev/null && script=$p
done
[[ -n "$script" ]] || fail "no process of '$run_command' under xvfb-run"
kill -TERM "$script"
for _ in $(seq 100); do
  [[ -n "$(rooted_pids)" ]] || break
  sleep 0.1
done
left=$(for p in $(rooted_pids); do echo "$p $(tr '\0' ' ' <"/proc/$p/cmdline" 2>/dev/null)"; done)
[[ -z "$left" ]] || fail "still running 10 s after a TERM to '$run_command': ${left//$'\n'/; }"
wait "$runner" 2>/dev/null || true
helper=""
[[ ! -e "$root$config" ]] || fail "the private ports folder $config is still there"
lap "window, COM1 and stop"
say "the window mapped, COM1 was the simulator, and a TERM ended everything"
