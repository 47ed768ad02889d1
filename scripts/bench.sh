#!/usr/bin/env bash
# Builds the benchmarks when needed, runs every benchmark in bench/ (or those named:
# scripts/bench.sh bench_jpeg bench_rename) and prints one table: the job, Kivo2's time,
# the reference and its time, the ratio, the goal and whether it is met. Each benchmark
# prints a line per measured figure (see bench/BenchRun.h); what else it prints goes to
# build/bench-logs/NAME.log. Exit status: 1 when a benchmark failed (its error is in its
# row), 2 when one ran but missed a goal, else 0. Not part of the tests.
set -uo pipefail
cd "$(dirname "$0")/.."
build=${KIVO2_BENCH_BUILD:-build}
# The public sample pictures beside the project, as the tests find them (beside the main
# checkout when this is one of its worktrees).
corpus=$(cd .. && pwd)/shared/corpus
[ -d "$corpus" ] || corpus=$(cd "$(git rev-parse --git-common-dir 2>/dev/null || echo .)/../.." && pwd)/shared/corpus
export KIVO2_CORPUS_DIR=${KIVO2_CORPUS_DIR:-$corpus}
# The benchmarks show no window: the toolkit they use draws offscreen.
export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}
jobs=$(nproc 2>/dev/null || echo 2)

if [ $# -gt 0 ]; then
  names=("$@")
else
  names=()
  for source in bench/bench_*.cpp; do names+=("$(basename "$source" .cpp)"); done
fi
if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKIVO2_BENCH=ON >/dev/null || exit 1
fi
if ! cmake --build "$build" -j "$jobs" --target "${names[@]}" kivo2 >"$build/bench-build.log" 2>&1; then
  echo "the benchmarks do not build; see $build/bench-build.log" >&2
  exit 1
fi

logs=$build/bench-logs
mkdir -p "$logs"
rows=$(mktemp)
trap 'rm -f "$rows"' EXIT
tab=$'\t'
for name in "${names[@]}"; do
  echo "running $name ..." >&2
  started=$(date +%s)
  "$build/bench/$name" >"$logs/$name.log" 2>"$logs/$name.err"
  status=$?
  echo "  $(( $(date +%s) - started )) s, load $(cut -d' ' -f1 /proc/loadavg)" >&2
  grep -E "^BENCH(-ERROR)?$tab" "$logs/$name.log" | sed "s/^/$name$tab/" >>"$rows"
  if [ $status -ne 0 ] && ! grep -q "^BENCH-ERROR$tab" "$logs/$name.log"; then
    message=$(grep -v '^[[:space:]]*$' "$logs/$name.err" | tail -n 1)
    printf '%s\tBENCH-ERROR\t%s\t%s\n' "$name" "$name" "${message:-exit status $status}" >>"$rows"
  elif [ $status -eq 0 ] && ! grep -q "^BENCH$tab" "$logs/$name.log"; then
    printf '%s\tBENCH-ERROR\t%s\t%s\n' "$name" "$name" "it printed no figure (see $logs/$name.log)" >>"$rows"
  fi
done

# One row per figure; the ratio and the verdict are worked out here from the goal's
# conditions (ratio<=X, ratio<X, ms<=X; "-" is shown without a verdict). A figure whose
# goal is MB<=X is a size in megabytes, not a time.
awk -F'\t' '
function shown(ms) {
  return ms >= 10000 ? sprintf("%.2f s", ms / 1000) : ms >= 10 ? sprintf("%.1f ms", ms) : sprintf("%.3f ms", ms)
}
function row(job, ours, ref, refTime, ratio, goal, verdict) {
  printf "%-46s %10s  %-42s %10s %7s  %-18s %s\n", job, ours, ref, refTime, ratio, goal, verdict
}
BEGIN { row("job", "Kivo2", "reference", "its time", "ratio", "goal", "met"); failed = 0; missed = 0 }
$2 == "BENCH-ERROR" { row($3, "-", "-", "-", "-", "-", "ERROR: " $4); failed = 1; next }
{
  ours = $4 + 0; ref = $5; refTime = $6; goal = $7
  if (match(goal, /^MB<=/)) {
    ok = ours <= substr(goal, 5) + 0
    if (!ok) missed = 1
    row($3, sprintf("%.1f MB", ours), "-", "-", "-", goal, ok ? "yes" : "NOT met")
    next
  }
  ratio = (ref != "-" && refTime + 0 > 0) ? ours / refTime : -1
  verdict = "-"
  if (goal != "-" && goal != "") {
    verdict = "yes"
    n = split(goal, conditions, " ")
    for (i = 1; i <= n; i++) {
      c = conditions[i]
      if (match(c, /^ratio<=/)) ok = ratio >= 0 && ratio <= substr(c, 8) + 0
      else if (match(c, /^ratio</)) ok = ratio >= 0 && ratio < substr(c, 7) + 0
      else if (match(c, /^ms<=/)) ok = ours <= substr(c, 5) + 0
      else ok = 0
      if (!ok) verdict = "NOT met"
    }
    if (verdict != "yes") missed = 1
  }
  row($3, shown(ours), ref, ref == "-" ? "-" : shown(refTime + 0), ratio < 0 ? "-" : sprintf("%.3f", ratio), goal,
      verdict)
}
END { exit failed ? 1 : missed ? 2 : 0 }' "$rows"
