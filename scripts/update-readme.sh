#!/usr/bin/env bash
# Rewrites the README's table of what each button sends from the code; with --check it only
# compares, and fails when the README has drifted.
# Usage: scripts/update-readme.sh [--check] [path/to/tqm810-command-table]
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
readme="$here/README.md"
begin='<!-- commands:begin -->'
end='<!-- commands:end -->'

check=false
if [[ "${1:-}" == "--check" ]]; then
  check=true
  shift
fi
tool="${1:-}"
if [[ -z "$tool" ]]; then
  build="${TQM_BUILD_DIR:-$here/build}"
  [[ -f "$build/build.ninja" ]] ||
    cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  cmake --build "$build" --target tqm810-command-table >/dev/null
  tool="$build/tools/tqm810-command-table"
fi

for marker in "$begin" "$end"; do
  if [[ $(grep -cxF -- "$marker" "$readme") -ne 1 ]]; then
    echo "update-readme: README.md needs the line '$marker' exactly once" >&2
    exit 1
  fi
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$tool" >"$work/table.md"
# Everything outside the markers stays as it is, byte for byte.
awk -v begin="$begin" -v end="$end" -v table="$work/table.md" '
  $0 == begin { print; print ""; while ((getline line < table) > 0) print line; print ""; skip = 1; next }
  $0 == end { skip = 0 }
  !skip { print }
' "$readme" >"$work/README.md"

if $check; then
  if ! diff -u "$readme" "$work/README.md" >"$work/diff"; then
    cat "$work/diff"
    echo "update-readme: README.md's command table differs from the code; run scripts/update-readme.sh" >&2
    exit 1
  fi
  echo "update-readme: README.md's command table matches the code"
else
  cat "$work/README.md" >"$readme"
fi
