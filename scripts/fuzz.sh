#!/usr/bin/env bash
# Builds the libFuzzer targets of the data readers with clang and runs each for a while:
#   scripts/fuzz.sh [seconds per target] [targets...]
# Seeds are made in build-fuzz/seeds (the shared corpus is linked, not copied); new
# inputs gather in build-fuzz/corpus and faults in build-fuzz/faults.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-180}
shift || true
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  targets=(pnm pcx sgi psd psp eps cut cutpal pcd rla cel gif gifimage exif_jpeg exif_tiff makernote iptc)
fi

CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKIVO2_FUZZ=ON \
  -DKIVO2_ONLY_DATA_TESTS=ON -DKIVO2_TESTS=OFF -DKIVO2_BENCH=OFF >/dev/null
cmake --build build-fuzz -j4
python3 scripts/fuzz_seeds.py build-fuzz/seeds "$(pwd)/../shared/corpus"

mkdir -p build-fuzz/faults
for t in "${targets[@]}"; do
  mkdir -p "build-fuzz/corpus/$t"
  max_len=65536
  [ "$t" = pcd ] && max_len=1048576
  ASAN_OPTIONS=detect_leaks=1:allocator_may_return_null=1 UBSAN_OPTIONS=print_stacktrace=1 \
    "build-fuzz/tests/fuzz/fuzz_$t" "build-fuzz/corpus/$t" "build-fuzz/seeds/$t" \
    -max_total_time="$seconds" -rss_limit_mb=2048 -malloc_limit_mb=512 -timeout=10 -report_slow_units=2 -max_len="$max_len" \
    -artifact_prefix="build-fuzz/faults/$t-" -print_final_stats=1 || echo "fuzz_$t stopped with a fault"
done
