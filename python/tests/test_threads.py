"""Threads: Ctrl-C in frames(), waits without the GIL, and no leak over many frames."""

import gc
import os
import signal
import subprocess
import sys
import textwrap
import threading
import tracemalloc

import tamra

CHILD = textwrap.dedent("""
    import sys, tamra
    with tamra.Emulator(sys.argv[1]) as cam:
        cam.start(trigger="software")
        try:
            print("waiting", flush=True)
            for frame in cam.frames():  # no trigger comes: waits until interrupted
                pass
        except KeyboardInterrupt:
            print("interrupted", flush=True)
        cam.stop()
        print("stopped", cam.running, flush=True)
    print("closed", flush=True)
""")


def test_ctrl_c_in_frames_raises_keyboard_interrupt_and_the_camera_stops(tree):
    child = subprocess.Popen([sys.executable, "-c", CHILD, str(tree)], stdout=subprocess.PIPE,
                             text=True, env=os.environ.copy())
    try:
        assert child.stdout.readline().strip() == "waiting"
        child.send_signal(signal.SIGINT)
        out, _ = child.communicate(timeout=20)
    finally:
        child.kill()
    assert out.split("\n")[:3] == ["interrupted", "stopped False", "closed"]
    assert child.returncode == 0


def test_waiting_for_a_frame_releases_the_gil(tree):
    with tamra.Emulator(tree) as cam:
        cam.start(trigger="software")
        frames = cam.frames(timeout=10.0)
        # The trigger comes from Python code on another thread, which can run only while the
        # waiting thread does not hold the GIL.
        threading.Thread(target=cam.trigger).start()
        assert next(frames).number == 1


def test_no_leak_over_ten_thousand_frames(small_tree):
    with tamra.Emulator(small_tree) as cam:
        cam.start(trigger="software")
        for frame in cam.frames(count=200, trigger=True, timeout=5.0):  # warm-up
            pass
        gc.collect()
        tracemalloc.start()
        before = tracemalloc.take_snapshot()
        objects = len(gc.get_objects())
        references = sys.getrefcount(cam)
        total = 0
        for frame in cam.frames(count=10_000, trigger=True, timeout=5.0):
            total += int(frame.array[0, 0])
        del frame
        gc.collect()
        grown = sum(s.size_diff for s in tracemalloc.take_snapshot().compare_to(before, "filename"))
        tracemalloc.stop()
        assert cam.stats["handed"] == 10_200
        assert sys.getrefcount(cam) == references
    # One 64 x 48 frame leaked per iteration would be 30 MB.
    assert grown < 256 * 1024
    assert len(gc.get_objects()) - objects < 100


def test_no_leak_over_ten_thousand_callbacks(small_tree):
    done = threading.Event()
    count = [0]

    def on_frame(frame):
        count[0] += 1
        if count[0] == 10_000:
            done.set()

    with tamra.Emulator(small_tree) as cam:
        cam.on_frame(on_frame, view=True)
        cam.start(trigger="software")
        gc.collect()
        objects = len(gc.get_objects())
        tracemalloc.start()
        before = tracemalloc.take_snapshot()
        while not done.is_set():
            cam.trigger()
            # Triggers merge while one is pending, so pace them by the frames that arrived.
            seen = count[0]
            while count[0] == seen and not done.wait(0.0002):
                pass
        cam.stop()
        gc.collect()
        grown = sum(s.size_diff for s in tracemalloc.take_snapshot().compare_to(before, "filename"))
        tracemalloc.stop()
    assert grown < 256 * 1024
    assert len(gc.get_objects()) - objects < 100
