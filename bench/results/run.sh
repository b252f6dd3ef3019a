#!/bin/sh
# Runs the composition, transform and acquisition benchmarks of the bench preset (OpenCV
# baselines on when libopencv-dev is installed) and writes their output beside this script:
# <name>.txt as printed, <name>.json for summary.py, which prints the ratios.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
cmake --preset bench -S "$root" >/dev/null
cmake --build --preset bench -j2 >/dev/null
bin=$root/build/bench/bench
common="--benchmark_repetitions=5 --benchmark_report_aggregates_only=true --benchmark_min_time=0.2"
for name in compose transform; do
    # shellcheck disable=SC2086
    "$bin/bench_$name" $common --benchmark_out="$here/$name.json" --benchmark_out_format=json \
        | tee "$here/$name.txt"
done
"$bin/bench_acquisition" --benchmark_filter='Triggered|Compose' --benchmark_min_time=2 \
    --benchmark_out="$here/acquisition.json" --benchmark_out_format=json | tee "$here/acquisition.txt"
/usr/bin/python3 "$here/summary.py" "$here" | tee "$here/summary.txt"
