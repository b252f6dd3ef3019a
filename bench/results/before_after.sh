#!/bin/sh
# Composition before and after a change, the two builds run in turn (twice each) so that both
# see the same machine load: BEFORE is the bench folder of a build of the earlier commit.
# Usage: before_after.sh BEFORE_BENCH_DIR [AFTER_BENCH_DIR]
set -eu
here=$(cd "$(dirname "$0")" && pwd)
before=$1
after=${2:-$here/../../build/bench/bench}
common="--benchmark_repetitions=5 --benchmark_report_aggregates_only=true --benchmark_min_time=0.2"
filter='--benchmark_filter=tamra|floor'
mkdir -p "$here/before"
for round in 1 2; do
    # shellcheck disable=SC2086
    "$before/bench_compose" $common $filter --benchmark_out="$here/before/compose-$round.json" \
        --benchmark_out_format=json >/dev/null
    # shellcheck disable=SC2086
    "$after/bench_compose" $common $filter --benchmark_out="$here/before/after-$round.json" \
        --benchmark_out_format=json >/dev/null
    echo "round $round"
    /usr/bin/python3 "$here/before_after.py" "$here/before/compose-$round.json" \
        "$here/before/after-$round.json"
done
