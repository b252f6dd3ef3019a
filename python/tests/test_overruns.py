"""Free run: frames queue in the ring while the client is busy and are dropped when it is full."""

import threading
import time

import pytest

import tamra


def wait_until(condition, limit=20.0):
    """Polls a condition the library offers no event for (its overrun count)."""
    deadline = time.monotonic() + limit
    while not condition():
        if time.monotonic() > deadline:
            pytest.fail("condition not reached")
        time.sleep(0.005)


def test_a_busy_callback_costs_frames_and_every_one_is_counted(small_tree):
    release = threading.Event()
    first = threading.Event()

    def busy(frame):
        first.set()
        release.wait(20.0)

    with tamra.Emulator(small_tree, buffers=3) as cam:
        assert cam.frame_delay_ms == 33
        cam.on_frame(busy)
        cam.start(trigger="free_run", frame_delay=0.033)
        assert first.wait(10.0)
        wait_until(lambda: cam.stats["reported"] >= 3)
        release.set()
        cam.stop()
        stats = cam.stats
    # Every frame the library delivered reached Python or was let go at the stop.
    assert stats["delivered"] == stats["handed"] + stats["discarded"]
    assert 1 <= stats["reported"] <= stats["dropped"]
    library = stats["library"]
    assert library["frames_composed"] == (library["frames_delivered"]
                                          + library["frames_discarded_at_stop"])
    assert stats["produced"] == library["frames_composed"] + library["frames_dropped"]


def test_every_trigger_is_accounted_for(small_tree):
    """Triggers given as fast as Python can while the callback dawdles: each one becomes a
    delivered, dropped, merged or discarded frame."""
    release = threading.Event()

    def slow(frame):
        release.wait(0.002)

    with tamra.Emulator(small_tree, buffers=3) as cam:
        cam.on_frame(slow)
        cam.start(trigger="software")
        for _ in range(300):
            cam.trigger()
        cam.stop()
        stats = cam.stats
    assert stats["library"]["triggers_given"] == stats["triggers"] == 300
    assert stats["triggers"] == (stats["delivered"] + stats["dropped"] + stats["merged"]
                                 + stats["discarded_at_stop"])
    assert stats["delivered"] == stats["handed"] + stats["discarded"]
    assert stats["merged"] > 0


def test_frames_queue_in_the_ring_while_the_loop_body_runs(small_tree):
    with tamra.Emulator(small_tree, buffers=4) as cam:
        cam.start(trigger="free_run", frame_delay=0.033)
        frames = cam.frames(timeout=5.0)
        first = next(frames)
        # While this body holds on, the library fills the three usable slots and then drops.
        wait_until(lambda: cam.stats["dropped"] >= 2)
        queued = [next(frames) for _ in range(3)]
        cam.stop()
        stats = cam.stats
    assert [f.number for f in queued] == [first.number + 1, first.number + 2, first.number + 3]
    assert stats["dropped"] >= 2 and stats["delivered"] >= 4


def test_software_triggers_one_at_a_time_never_drop(small_tree):
    with tamra.Emulator(small_tree, buffers=2) as cam:
        cam.start(trigger="software")
        frames = list(cam.frames(count=50, trigger=True, timeout=5.0))
        cam.stop()
        stats = cam.stats
    assert len(frames) == 50 and stats["dropped"] == 0
    assert stats["triggers"] == 50 and stats["handed"] == 50
