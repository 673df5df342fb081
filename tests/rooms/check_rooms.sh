#!/usr/bin/env bash
# Fails when code outside the widget rooms knows Qt Widgets: a source file that includes one of its
# headers, or a target whose links reach Qt6::Widgets (as the configure step wrote them down).
# Usage: check_rooms.sh SOURCE_DIR QTWIDGETS_HEADER_DIR ROOM_LINKS_FILE WIDGET_ROOM...
set -euo pipefail
source_dir=$1 headers=$2 links=$3
shift 3
declare -A allowed=()
for room in "$@"; do allowed[$room]=1; done
failures=0

# A header of QtWidgets only: Qt 6 keeps a few forwarding headers there for classes now in QtGui,
# and those do not bring widgets in.
declare -A widgets=()
qt_dir=$(dirname "$headers")
others=()
for other in "$qt_dir"/Qt*/; do
  [[ $other != "$headers/" ]] && others+=("$other")
done
for path in "$headers"/*; do
  [[ -f $path ]] || continue
  name=${path##*/}
  for other in "${others[@]}"; do
    [[ -e $other$name ]] && continue 2
  done
  widgets[$name]=1
done
if ((${#widgets[@]} < 100)); then
  echo "rooms_no_widgets: only ${#widgets[@]} headers in $headers; is that QtWidgets?" >&2
  exit 2
fi

# Every source file outside the widget rooms (each a folder, "tests/app" say); build trees and
# hidden folders hold none of ours.
in_widget_room() { # path relative to the source folder
  local room
  for room in "${!allowed[@]}"; do
    [[ $1 == "$room"/* ]] && return 0
  done
  return 1
}
files=0
while IFS= read -r -d '' file; do
  in_widget_room "${file#"$source_dir"/}" && continue
  files=$((files + 1))
  while IFS=: read -r line text; do
    [[ $text =~ ^[[:space:]]*#[[:space:]]*include[[:space:]]*[\<\"]([^\>\"]+)[\>\"] ]] || continue
    header=${BASH_REMATCH[1]}
    if [[ $header == QtWidgets/* || -n ${widgets[$header]:-} ]]; then
      echo "${file#"$source_dir"/}:$line: includes the Qt Widgets header $header;" \
        "only ${!allowed[*]} may know widgets" >&2
      failures=$((failures + 1))
    fi
  done < <(grep -nE '^[[:space:]]*#[[:space:]]*include' "$file" || true)
done < <(find "$source_dir" -mindepth 1 \( -name '.*' -o -type d -exec test -e '{}/CMakeCache.txt' \; \) \
  -prune -o -type f \( -name '*.h' -o -name '*.cpp' \) -print0 2>/dev/null)

if [[ ! -s $links ]]; then
  echo "rooms_no_widgets: $links is missing or empty; run cmake again" >&2
  exit 2
fi
targets=0
while IFS=$'\t' read -r verdict target where chain; do
  targets=$((targets + 1))
  if [[ $verdict == widgets ]]; then
    echo "$where: target $target links Qt Widgets: $chain" >&2
    failures=$((failures + 1))
  fi
done <"$links"

echo "rooms_no_widgets: $files source files and $targets targets outside ${!allowed[*]}:" \
  "$failures finding(s)"
((failures == 0))
