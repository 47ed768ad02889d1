#!/usr/bin/env bash
# Plants one-line faults in the sources, one at a time, and tells which of them the tests
# do not notice. The faults are kept in tests/mutants/*.txt, one to a line, its fields
# separated by tabs:
#   file (from the project's top)  TAB  text as it stands  TAB  text that replaces it
#   [TAB  tests to run, separated by blanks: a folder's name runs the folder, a name with a
#         dot (folder.Suite) the tests whose names begin with it; by default the file's folder]
# Lines starting with '#' and empty lines are left out. The text must occur exactly once
# in the file; "\t" and "\n" in either text stand for a tab and a line end.
#
# For each fault: the file is changed, the folders' test programs rebuilt, their tests
# run until the first failure (a test that fails is run once more, so that a test that
# fails now and then under load does not count), and the file put back as it was (also
# when the run is stopped with Ctrl-C or fails). A fault whose tests all pass survives: a
# test is missing. Not part of CI; run it in a work tree of your own.
#
#   scripts/mutate.sh [-b BUILD] [-j JOBS] [PATTERN]
# PATTERN (a grep -E expression) picks the faults whose line matches it.
# Ends with 0 when no fault survives, 1 when some do, 2 on a stale or broken list.
set -uo pipefail
cd "$(dirname "$0")/.."
top=$(pwd)

build=build
jobs=4
while getopts "b:j:" opt; do
  case $opt in
    b) build=$OPTARG ;;
    j) jobs=$OPTARG ;;
    *) sed -n '2,19p' "$0" | sed 's/^# \{0,1\}//'; exit 2 ;;
  esac
done
shift $((OPTIND - 1))
pattern=${1:-}

[[ -f $build/build.ninja ]] || { echo "no configured build folder '$build'" >&2; exit 2; }

backup=$(mktemp -d)
planted=""
restore() {
  if [[ -n $planted ]]; then
    # A plain copy gives the file a new time, so that the build sees it changed back.
    cp "$backup/original" "$top/$planted"
    planted=""
  fi
}
stop() {
  restore
  rm -rf "$backup"
  echo
  echo "stopped; the sources are as they were (rebuild before using the build folder)" >&2
  exit 130
}
trap restore EXIT
trap stop INT TERM HUP

# Replaces the one occurrence of old by new in the file; fails when it is not exactly once.
plant() {
  python3 - "$1" "$2" "$3" <<'EOF'
import sys
path, old, new = sys.argv[1], sys.argv[2], sys.argv[3]
unescape = lambda s: s.replace("\\t", "\t").replace("\\n", "\n")
old, new = unescape(old), unescape(new)
text = open(path, encoding="utf-8", errors="surrogateescape").read()
n = text.count(old)
if n != 1:
    sys.stderr.write(f"the text occurs {n} times\n")
    sys.exit(1)
open(path, "w", encoding="utf-8", errors="surrogateescape").write(text.replace(old, new))
EOF
}

echo "building the unchanged sources..."
if ! cmake --build "$build" -j "$jobs" >/dev/null; then
  echo "the unchanged sources do not build" >&2
  exit 2
fi

total=0 killed=0
survivors=() stale=()
while IFS= read -r entry; do
  list=${entry%%:*}
  entry=${entry#*:}
  number=${entry%%:*}
  line=${entry#*:}
  [[ -z ${line//[[:space:]]/} || $line == \#* ]] && continue
  [[ -n $pattern ]] && ! grep -qE -- "$pattern" <<<"$line" && continue
  # Split at every tab (read would join empty fields: a text may be replaced by nothing).
  fields=()
  while [[ $line == *$'\t'* ]]; do
    fields+=("${line%%$'\t'*}")
    line=${line#*$'\t'}
  done
  fields+=("$line")
  file=${fields[0]} old=${fields[1]:-} new=${fields[2]:-} folders=${fields[3]:-}
  where="$list:$number: $file: '$old' -> '$new'"
  total=$((total + 1))
  if [[ -z $file || -z $old || ! -f $top/$file ]]; then
    stale+=("$where (no such file or no text)")
    continue
  fi
  if [[ -z $folders ]]; then
    folders=$(cut -d/ -f2 <<<"$file")
  fi
  cp -p "$top/$file" "$backup/original"
  planted=$file
  if ! why=$(plant "$top/$file" "$old" "$new" 2>&1); then
    restore
    stale+=("$where ($why)")
    continue
  fi
  # Only the test programs of those folders are rebuilt (with what they need).
  alternatives=() targets=()
  for f in $folders; do
    if [[ $f == *.* ]]; then alternatives+=("${f//./\\.}"); else alternatives+=("$f\\."); fi
    targets+=("test_${f%%.*}")
  done
  regex="^($(IFS='|'; echo "${alternatives[*]}"))"
  printf '%3d %s ... ' "$total" "$where"
  if ! cmake --build "$build" -j "$jobs" --target "${targets[@]}" >"$backup/build.log" 2>&1; then
    restore
    echo "does not build"
    stale+=("$where (does not build)")
    continue
  fi
  rm -f "$build/Testing/Temporary/LastTestsFailed.log"
  if (cd "$build" && ctest -j "$jobs" -R "$regex" --stop-on-failure --repeat until-pass:2 >"$backup/test.log" 2>&1); then
    echo "SURVIVES"
    survivors+=("$where")
  else
    echo "noticed by $(head -1 "$build/Testing/Temporary/LastTestsFailed.log" 2>/dev/null | cut -d: -f2)"
    killed=$((killed + 1))
  fi
  restore
done < <(grep -n '' tests/mutants/*.txt /dev/null)

echo "rebuilding the unchanged sources..."
cmake --build "$build" -j "$jobs" >/dev/null
rm -rf "$backup"

echo
echo "$total faults: $killed noticed, ${#survivors[@]} survive, ${#stale[@]} stale"
for s in "${survivors[@]}"; do echo "survives: $s"; done
for s in "${stale[@]}"; do echo "stale:    $s"; done
((${#stale[@]})) && exit 2
((${#survivors[@]})) && exit 1
exit 0
