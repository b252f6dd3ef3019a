"""on_frame: the delivery thread, exceptions, zero-copy views, stop and close from inside."""

import sys
import threading

import numpy as np
import pytest

import tamra

pytestmark = pytest.mark.filterwarnings("ignore::pytest.PytestUnraisableExceptionWarning")


class Collector:
    """Records frames and signals once `wanted` have arrived."""

    def __init__(self, wanted):
        self.wanted = wanted
        self.frames = []
        self.threads = set()
        self.done = threading.Event()

    def __call__(self, frame):
        self.frames.append(frame)
        self.threads.add(threading.get_ident())
        if len(self.frames) >= self.wanted:
            self.done.set()


def run_triggered(cam, collector, limit=10.0):
    """Triggers one frame at a time until the collector has what it wants."""
    while not collector.done.is_set():
        arrived = len(collector.frames)
        cam.trigger()
        for _ in range(int(limit / 0.01)):
            if len(collector.frames) > arrived or collector.done.wait(0.01):
                break
        else:
            pytest.fail("no frame arrived")


def test_callback_runs_on_the_library_thread_with_copies(tree):
    collector = Collector(6)
    with tamra.Emulator(tree, cameras=1) as cam:
        cam.on_frame(collector)
        cam.start(trigger="software")
        run_triggered(cam, collector)
        cam.stop()
    assert threading.get_ident() not in collector.threads and len(collector.threads) == 1
    assert [f.number for f in collector.frames][:6] == [1, 2, 3, 4, 5, 6]
    assert all(f.array.flags.owndata for f in collector.frames)
    assert collector.frames[0].array.shape == (480, 640)


def test_exceptions_are_reported_and_raised_by_stop(tree, monkeypatch):
    reported = []
    monkeypatch.setattr(sys, "unraisablehook", reported.append)
    collector = Collector(4)

    def failing(frame):
        collector(frame)
        if frame.number % 2 == 0:
            raise ValueError(f"bad frame {frame.number}")

    with tamra.Emulator(tree, cameras=1) as cam:
        cam.on_frame(failing)
        cam.start(trigger="software")
        run_triggered(cam, collector)
        with pytest.raises(tamra.CallbackError) as raised:
            cam.stop()
        assert cam.callback_errors == []  # raised once, then cleared
    errors = raised.value.errors
    assert [str(e) for e in errors][:2] == ["bad frame 2", "bad frame 4"]
    assert raised.value.__cause__ is errors[0]
    assert [type(r.exc_value) for r in reported][:2] == [ValueError, ValueError]


def test_leaving_the_with_block_with_an_error_keeps_that_error(tree):
    collector = Collector(1)

    def failing(frame):
        collector(frame)
        raise RuntimeError("in callback")

    with pytest.raises(KeyError):
        with tamra.Emulator(tree, cameras=1) as cam:
            cam.on_frame(failing)
            cam.start(trigger="software")
            run_triggered(cam, collector)
            raise KeyError("in body")


def test_view_is_the_ring_slot_and_ends_with_the_callback(tree):
    seen = {}
    collector = Collector(3)

    def look(frame):
        seen.setdefault("flags", frame.array.flags.writeable)
        seen.setdefault("copy", frame.copy())
        seen.setdefault("frame", frame)
        seen.setdefault("same", np.array_equal(frame.array, seen["copy"]))
        collector(frame)

    with tamra.Emulator(tree, cameras=1) as cam:
        cam.on_frame(look, view=True)
        cam.start(trigger="software")
        run_triggered(cam, collector)
        cam.stop()
    assert seen["flags"] is False and seen["same"]
    with pytest.raises(tamra.Error, match="callback returned"):
        seen["frame"].array


def test_a_view_kept_past_its_callback_is_reported(tree):
    kept = []
    collector = Collector(2)

    def keep(frame):
        kept.append(frame.array[10:20])  # a slice still points into the ring slot
        collector(frame)

    with tamra.Emulator(tree, cameras=1) as cam:
        cam.on_frame(keep, view=True)
        cam.start(trigger="software")
        run_triggered(cam, collector)
        with pytest.raises(tamra.CallbackError, match="frame.copy"):
            cam.stop()


def test_stop_from_the_callback_ends_delivery_and_the_camera_restarts(tree):
    collector = Collector(3)

    def stop_at_third(frame):
        collector(frame)
        if frame.number == 3:
            cam.stop()

    with tamra.Emulator(tree, cameras=1) as cam:
        cam.on_frame(stop_at_third)
        cam.start(trigger="free_run", frame_delay=0.0)
        assert collector.done.wait(10.0)
        assert not cam.running
        cam.stop()  # joins what the callback started stopping
        assert len(collector.frames) == 3
        assert cam.stats["handed"] == 3
        cam.on_frame(None)
        cam.start(trigger="software")
        assert next(cam.frames(count=1, trigger=True, timeout=5.0)).number == 1


def test_stop_from_another_thread_while_the_callback_runs_python(tree):
    inside, go, finished = threading.Event(), threading.Event(), threading.Event()

    def working(frame):
        inside.set()
        go.wait(10.0)
        sum(range(100_000))  # needs the GIL while stop() waits for this callback
        finished.set()

    with tamra.Emulator(tree, cameras=1) as cam:
        cam.on_frame(working)
        cam.start(trigger="software")
        cam.trigger()
        assert inside.wait(10.0)
        stopper = threading.Thread(target=cam.stop)
        stopper.start()
        go.set()
        stopper.join(20.0)
        assert not stopper.is_alive() and finished.is_set() and not cam.running


def test_errors_of_a_callback_that_stopped_the_camera_wait_for_the_next_close(tree):
    stopped = threading.Event()

    def fail_and_stop(frame):
        cam.stop()
        stopped.set()
        raise OSError("disk full")

    cam = tamra.Emulator(tree, cameras=1)
    cam.on_frame(fail_and_stop)
    cam.start(trigger="free_run")
    assert stopped.wait(10.0)
    cam.start(trigger="software")  # a new run does not forget them
    with pytest.raises(tamra.CallbackError) as raised:
        cam.close()
    assert isinstance(raised.value.__cause__, OSError)


def test_close_from_the_callback(tree):
    closed = threading.Event()

    def close_now(frame):
        cam.close()
        closed.set()

    cam = tamra.Emulator(tree, cameras=1)
    cam.on_frame(close_now)
    cam.start(trigger="free_run")
    assert closed.wait(10.0)
    assert cam.closed and not cam.running
    with pytest.raises(tamra.Error, match="the camera is closed"):
        cam.start()
    cam.close()  # a second close is harmless


def test_lifecycle_calls_that_would_wait_are_refused_inside_the_callback(tree):
    outcome = {}
    collector = Collector(1)

    def restart(frame):
        try:
            cam.start(trigger="software")
        except tamra.Error as error:
            outcome["error"] = str(error)
        collector(frame)

    with tamra.Emulator(tree, cameras=1) as cam:
        cam.on_frame(restart)
        cam.start(trigger="software")
        run_triggered(cam, collector)
    assert "frame callback" in outcome["error"]
