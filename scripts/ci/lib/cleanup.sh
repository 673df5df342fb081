# shellcheck shell=bash
# Sourced by the CI checks that start the simulator and a runner (Xvfb, a session bus, the console)
# of their own. Not a check itself: .ci/run runs only scripts/ci/*.sh.

# Ends and reaps the runner, then the simulator, whichever the check has started ($runner, $sim),
# so that neither outlives the check, failed or not.
stop_runner_and_sim() {
  local pid
  for pid in "${runner:-}" "${sim:-}"; do
    [[ -n "$pid" ]] || continue
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
  done
  runner=""
  sim=""
}
