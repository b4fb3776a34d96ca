#!/usr/bin/env bash
# Builds the fuzz targets with clang in build-fuzz/ and runs each for a
# bounded time on its corpus; any finding fails.
#   fuzz/run.sh [seconds]     (default 60)
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DKEV_BUILD_FUZZ=ON -DKEV_BUILD_BENCH=OFF >/dev/null
cmake --build build-fuzz --target fuzz_hive
# New inputs go to a scratch folder; the committed corpus is only read.
scratch=build-fuzz/corpus/hive
mkdir -p "$scratch"
build-fuzz/fuzz/fuzz_hive -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
  -dict=fuzz/hive.dict -print_final_stats=1 -artifact_prefix=build-fuzz/ "$scratch" fuzz/corpus/hive
