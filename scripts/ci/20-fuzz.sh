#!/usr/bin/env bash
# CI: builds the libFuzzer targets with clang in their own build folder and runs each from its seed
# corpus for about a minute; a crash, a sanitizer report, a broken property or a hang fails the run.
set -euo pipefail
here=$(cd "$(dirname "$0")/../.." && pwd)
build="${TQM_FUZZ_BUILD_DIR:-$here/build-fuzz}"
seconds="${TQM_FUZZ_SECONDS:-60}"
check=fuzz
# shellcheck source=scripts/ci/lib/common.sh
source "$here/scripts/ci/lib/common.sh"

bash "$here/scripts/setup.sh" --extra # clang and its fuzzer runtime, when missing
cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DTQM_FUZZ=ON -DBUILD_TESTING=OFF -DTQM_BENCH=OFF >/dev/null
cmake --build "$build" --target fuzz_splitter fuzz_settings fuzz_render_log fuzz_telnet

fuzz() { # name, program, seed corpus
  local name=$1 program=$2 seeds=$3 work log
  # New inputs go to a scratch corpus: the seeds in the repository stay as they are.
  work=$(mktemp -d)
  log="$build/$name.log"
  mkdir -p "$build/artifacts"
  if ! "$program" -max_total_time="$seconds" -timeout=10 -print_final_stats=1 \
    -artifact_prefix="$build/artifacts/$name-" "$work" "$seeds" >"$log" 2>&1; then
    tail -n 60 "$log"
    say "$name failed; the input is in $build/artifacts/, the log in $log"
    rm -rf "$work"
    return 1
  fi
  rm -rf "$work"
  say "$name: $(grep -E '^Done [0-9]+ runs' "$log")" \
    "$(grep -oE 'cov: [0-9]+ ft: [0-9]+ corp: [0-9]+/[0-9A-Za-z]+' "$log" | tail -n 1)"
}

fuzz splitter "$build/sim/fuzz_splitter" "$here/sim/fuzz/corpus"
fuzz settings "$build/serial/fuzz/fuzz_settings" "$here/serial/fuzz/corpus/settings"
fuzz render_log "$build/receive/fuzz/fuzz_render_log" "$here/receive/fuzz/corpus/render_log"
fuzz telnet "$build/serial/fuzz/fuzz_telnet" "$here/serial/fuzz/corpus/telnet"
say "done in $SECONDS s"
