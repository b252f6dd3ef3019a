"""Ratios of the benchmark run in a folder: median CPU time of each Tamra case against its
baselines from the same run (OpenCV, the read-and-copy floor, memcpy)."""
import json
import sys
from pathlib import Path


def medians(path):
    runs = json.loads(Path(path).read_text())["benchmarks"]
    return {r["run_name"]: r["cpu_time"] for r in runs if r.get("aggregate_name") == "median"}


def main(folder):
    compose = medians(Path(folder) / "compose.json")
    print("composition (us, median CPU)   tamra   opencv  floor  opencv/tamra  tamra/floor")
    for name, tamra in compose.items():
        if not name.startswith("tamra/"):
            continue
        case = name[len("tamra/"):]
        opencv = compose.get("opencv/" + case, float("nan"))
        floor = compose["floor/" + case]
        print(f"{case:32s} {tamra:7.1f} {opencv:8.1f} {floor:6.1f} {opencv / tamra:10.2f}x"
              f" {tamra / floor:10.2f}")
    transform = medians(Path(folder) / "transform.json")
    # memcpy2 copies into two destinations in turn, as the transform alternates its two results.
    print("\ntransform (us, median CPU)        tamra   opencv  memcpy  opencv/tamra  tamra/memcpy"
          "  tamra/memcpy2")
    for name, tamra in transform.items():
        if not name.startswith("tamra/"):
            continue
        case = name[len("tamra/"):]
        size_format = case.split("/", 1)[1]
        opencv = transform.get("opencv/" + case, float("nan"))
        copy = transform.get("memcpy/" + size_format, float("nan"))
        copy2 = transform.get("memcpy2/" + size_format, float("nan"))
        print(f"{case:32s} {tamra / 1e3:8.1f} {opencv / 1e3:8.1f} {copy / 1e3:7.1f}"
              f" {opencv / tamra:10.2f}x {tamra / copy:10.2f} {tamra / copy2:12.2f}")
    runs = json.loads((Path(folder) / "acquisition.json").read_text())["benchmarks"]
    by_name = {r["name"]: r for r in runs}
    for size in ("640/480", "1280/1024"):
        trig = by_name.get(f"BM_TriggeredFrame/{size}/real_time")
        comp = by_name.get(f"BM_ComposeFrame/{size}")
        if not trig or not comp:
            continue
        compose_ms = comp["real_time"] / 1e3
        bound = 1.0 / ((compose_ms + 1.0) / 1e3)
        rate = trig["items_per_second"]
        print(f"\ntriggered {size}: {rate:.0f} frames/s; composition {compose_ms:.3f} ms (wall),"
              f" 1/(composition + 1 ms) = {bound:.0f}, ratio {rate / bound:.2f};"
              f" p99 {trig['p99_ms']:.2f} ms against composition + 1.5 ms = {compose_ms + 1.5:.2f}")


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else Path(__file__).parent)
