#!/usr/bin/env bash
# Builds the project with clang in build-fuzz/ (warnings are errors, so this
# is also the clang build check) and runs each fuzz target for a bounded time
# on its corpus; any finding fails.
#   fuzz/run.sh [seconds per target]     (default 60)
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
build=${KEV_FUZZ_BUILD:-build-fuzz}
# Unoptimised, which is quickest and enough for clang's warnings; the fuzz
# targets set their own optimisation.
CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE= -DKEV_WERROR=ON \
  -DKEV_BUILD_FUZZ=ON -DKEV_BUILD_BENCH=OFF -DKEV_BUILD_DESKTOP=OFF >/dev/null
cmake --build "$build" -j"$(nproc)"

# fuzz NAME DICT SEED...: new inputs go to a scratch folder; the seeds are only read.
fuzz() {
  local name=$1 dict=$2 scratch=$build/corpus/$1
  shift 2
  mkdir -p "$scratch"
  "$build/fuzz/fuzz_$name" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
    ${dict:+-dict="$dict"} -print_final_stats=1 -artifact_prefix="$build/" "$scratch" "$@"
}
fuzz hive fuzz/hive.dict fuzz/corpus/hive
# The board catalogue is the seed corpus of the board loader, with profiles
# of two of its boards for the profile reader.
fuzz board "" boards fuzz/corpus/profiles
# The port helper's server: seeds are a greeting and a few port and SMBus requests.
fuzz ports "" fuzz/corpus/ports
# Pastes of register dumps for their readers.
fuzz dump "" tests/replay/data fuzz/corpus/dumps
