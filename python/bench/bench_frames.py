"""Frames per second delivered to Python against the C++ client (tamra-grab) on the same tree.

Both play the same generated 640 x 480 tree, mono8, one camera, software trigger, each trigger
given once the previous frame has arrived (tamra-grab's default loop). Python takes copies, as
frames() does by default. Rounds alternate between the two so that machine load hits both.

Usage: /usr/bin/python3 python/bench/bench_frames.py [--build build/release] [--frames 2000]
(with the tamra package of that build on PYTHONPATH, e.g. PYTHONPATH=build/release/python).
"""

import argparse
import json
import pathlib
import statistics
import subprocess
import tempfile
import threading
import time

import tamra


def cpp_rate(grab: pathlib.Path, folder: pathlib.Path, frames: int, work: pathlib.Path) -> float:
    report = work / "grab.json"
    subprocess.run([str(grab), str(folder), "--trigger", "software", "--frames", str(frames),
                    "--width", "640", "--height", "480", "--color", "mono8", "--cameras", "1",
                    "--json", str(report), "--progress", "never"], check=True,
                   stdout=subprocess.DEVNULL)
    return json.loads(report.read_text())["phases"][0]["framesPerSecond"]


def python_rate(folder: pathlib.Path, frames: int) -> float:
    with tamra.Emulator(folder, width=640, height=480, pixel_format="mono8", cameras=1) as cam:
        cam.start(trigger="software")
        start = time.perf_counter()
        for frame in cam.frames(count=frames, trigger=True, timeout=5.0):
            pass
        return frames / (time.perf_counter() - start)


def callback_rate(folder: pathlib.Path, frames: int, view: bool) -> float:
    arrived = threading.Semaphore(0)
    with tamra.Emulator(folder, width=640, height=480, pixel_format="mono8", cameras=1) as cam:
        cam.on_frame(lambda frame: arrived.release(), view=view)
        cam.start(trigger="software")
        start = time.perf_counter()
        for _ in range(frames):
            cam.trigger()
            arrived.acquire(timeout=5.0)
        return frames / (time.perf_counter() - start)


def main() -> None:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--build", default="build/release", type=pathlib.Path)
    parser.add_argument("--frames", default=2000, type=int)
    parser.add_argument("--rounds", default=3, type=int)
    args = parser.parse_args()
    with tempfile.TemporaryDirectory() as scratch:
        work = pathlib.Path(scratch)
        folder = work / "tree"
        subprocess.run([str(args.build / "tools" / "tamra-samples"), str(folder), "--cameras", "1"],
                       check=True, stdout=subprocess.DEVNULL)
        grab = args.build / "tools" / "tamra-grab" / "tamra-grab"
        rates = {"C++ client (tamra-grab)": [], "Python frames(), copies": [],
                 "Python on_frame, copies": [], "Python on_frame, views": []}
        for _ in range(args.rounds):
            rates["C++ client (tamra-grab)"].append(cpp_rate(grab, folder, args.frames, work))
            rates["Python frames(), copies"].append(python_rate(folder, args.frames))
            rates["Python on_frame, copies"].append(callback_rate(folder, args.frames, False))
            rates["Python on_frame, views"].append(callback_rate(folder, args.frames, True))
    reference = statistics.median(rates["C++ client (tamra-grab)"])
    print(f"{args.frames} frames x {args.rounds} rounds, 640 x 480 mono8, software trigger")
    for name, values in rates.items():
        median = statistics.median(values)
        print(f"{name:28s} {median:8.1f} frames/s  {median / reference:5.2f}x")


if __name__ == "__main__":
    main()
