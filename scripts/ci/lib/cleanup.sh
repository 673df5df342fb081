# shellcheck shell=bash
# Sourced by the CI checks that start the simulator and a runner (Xvfb, a session bus, the console)
# of their own. Not a check itself: .ci/run runs only scripts/ci/*.sh.

# Ends and reaps the runner, then the simulators, whichever the check has started ($runner, $sim
# and the array $sims), so that none outlives the check, failed or not.
stop_runner_and_sim() {
  local pid
  for pid in "${runner:-}" "${sim:-}" ${sims[@]+"${sims[@]}"}; do
    [[ -n "$pid" ]] || continue
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
  done
  runner=""
  sim=""
  sims=()
}

# Builds the console and the simulator in $build, makes a private $work folder, and arranges that
# on any exit the runner and simulator are stopped, $work goes and the time taken is said.
console_check_start() {
  [[ -f "$build/build.ninja" ]] ||
    cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  cmake --build "$build" --target tqm810-console tqm810-sim >/dev/null
  work=$(mktemp -d)
  sim=""
  sims=()
  runner=""
  trap console_check_end EXIT
  trap 'exit 130' INT TERM
}

console_check_end() {
  local status=$?
  # Each step must run even when an earlier one fails.
  set +e
  stop_runner_and_sim
  rm -rf "$work"
  if ((status == 0)); then
    say "done in ${SECONDS} s"
  else
    say "failed after ${SECONDS} s"
  fi
}
