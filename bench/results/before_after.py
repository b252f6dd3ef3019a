"""Median CPU time of each Tamra composition case in two runs of bench_compose (JSON output):
before and after a change, with the floor and OpenCV baselines of the later run."""
import json
import sys
from pathlib import Path


def medians(path):
    runs = json.loads(Path(path).read_text())["benchmarks"]
    return {r["run_name"]: r["cpu_time"] for r in runs if r.get("aggregate_name") == "median"}


def main(before_path, after_path):
    before, after = medians(before_path), medians(after_path)
    print("composition (us, median CPU)     before   after  after/before  opencv/after"
          "  after/floor")
    for name, now in after.items():
        if not name.startswith("tamra/"):
            continue
        case = name[len("tamra/"):]
        was = before.get(name, float("nan"))
        opencv = after.get("opencv/" + case, float("nan"))
        floor = after.get("floor/" + case, float("nan"))
        print(f"{case:32s} {was:7.1f} {now:7.1f} {now / was:12.2f} {opencv / now:12.2f}x"
              f" {now / floor:11.2f}")


if __name__ == "__main__":
    main(sys.argv[1], sys.argv[2])
