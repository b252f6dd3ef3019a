"""Frames: the same bytes as the C++ API delivers, their layout and their metadata."""

import os
import threading

import numpy as np
import pytest

import tamra


def grab(folder, count, **options):
    with tamra.Emulator(folder, **options) as cam:
        cam.start(trigger="software")
        return list(cam.frames(count=count, trigger=True, timeout=5.0))


@pytest.mark.parametrize("options, reference_args", [
    (dict(), dict()),
    (dict(pixel_format="rgb24", cameras=2), dict(pixel_format=4, cameras=2)),
    (dict(pixel_format="planes"), dict(pixel_format=2)),
    (dict(cameras=2, mirror=True, rotate=90), dict(cameras=2, mirror=True, rotate=90)),
], ids=["mono8", "rgb24-two-cameras", "planes", "mirror-rotate"])
def test_frames_are_byte_identical_to_the_cpp_client(tree, tmp_path, reference, options,
                                                     reference_args):
    count = 12  # more than one round of each camera's list
    expected = reference(tree, tmp_path / "frames.raw", count, **reference_args)
    frames = grab(tree, count, **options)
    assert b"".join(f.array.tobytes() for f in frames) == expected


@pytest.mark.parametrize("options, shape", [
    (dict(cameras=1), (480, 640)),
    (dict(cameras=2), (2, 480, 640)),
    (dict(cameras=1, pixel_format="rgb24"), (480, 640, 3)),
    (dict(cameras=1, pixel_format="rgb32"), (480, 640, 4)),
    (dict(pixel_format="planes"), (3, 480, 640)),
    (dict(cameras=1, width=320, height=200), (200, 320)),
    (dict(cameras=1, width=64, height=48, tiles=(2, 2)), (96, 128)),
])
def test_array_shape_follows_the_pixel_format(tree, options, shape):
    with tamra.Emulator(tree, **options) as cam:
        assert cam.shape == shape
        cam.start(trigger="software")
        frame = next(cam.frames(count=1, trigger=True, timeout=5.0))
    assert frame.array.shape == shape and frame.array.dtype == np.uint8


def test_frames_are_copies_owned_by_python(tree):
    first, second = grab(tree, 2, cameras=1)
    assert first.array.flags.owndata and first.array.flags.writeable
    before = second.array.copy()
    first.array[:] = 0
    assert np.array_equal(second.array, before)


def test_metadata_counts_from_start_and_cycles_the_ring(tree):
    with tamra.Emulator(tree, cameras=1, buffers=4) as cam:
        for _ in range(2):  # numbering starts again with each start
            cam.start(trigger="software")
            frames = list(cam.frames(count=7, trigger=True, timeout=5.0))
            cam.stop()
            assert [f.number for f in frames] == list(range(frames[0].number, frames[0].number + 7))
            assert [f.slot for f in frames] == [(f.number - frames[0].number) % 3 for f in frames]
            times = [f.time for f in frames]
            assert times == sorted(times)


def test_source_files_name_each_plane_and_its_set(tree):
    frames = grab(tree, 11, cameras=2)
    for frame in frames:
        assert len(frame.source_files) == 2
        for camera, path in enumerate(frame.source_files):
            assert path is not None and os.path.isfile(path)
            assert ("Cam1" in path) == (camera == 1)
    sets = [f.sets[0] for f in frames]
    assert sets[:5] == ["loose"] * 5 and sets[5:9] == ["pass", "pass", "fail", "fail"]
    assert not any(any(f.substituted) for f in frames)


def test_a_plane_without_a_usable_file_is_substituted_and_says_why(tmp_path):
    (tmp_path / "broken.bmp").write_bytes(b"BM" + bytes(100))
    frames = grab(tmp_path, 2, width=64, height=48)
    broken = str(tmp_path / "broken.bmp")
    assert all(f.substituted == (True,) and f.source_files == (broken,) for f in frames)
    assert "header" in frames[0].reasons[0]
    # The stand-in pattern moves from frame to frame.
    assert not np.array_equal(frames[0].array, frames[1].array)


def test_check_image_gives_the_loaders_verdict(tree, tmp_path):
    assert tamra.check_image(tree / "part_00.bmp") == (True, "")
    broken = tmp_path / "broken.bmp"
    broken.write_bytes(b"BM" + bytes(100))
    plays, reason = tamra.check_image(broken, 64, 48)
    assert not plays and "header" in reason
    # Without conforming, a file of another size is refused rather than scaled.
    plays, reason = tamra.check_image(tree / "part_00.bmp", 320, 240, conform=False)
    assert not plays and reason


def test_timeout_without_a_trigger(tree):
    with tamra.Emulator(tree) as cam:
        cam.start(trigger="software")
        with pytest.raises(tamra.FrameTimeout):
            next(cam.frames(timeout=0.2))
        # The camera still works after a time-out.
        assert next(cam.frames(count=1, trigger=True, timeout=5.0)).number >= 1


def test_iteration_ends_when_another_thread_stops(tree):
    with tamra.Emulator(tree) as cam:
        cam.start(trigger="software")
        waiting = threading.Event()
        received = []

        def consume():
            for frame in cam.frames(trigger=False):
                received.append(frame)
            waiting.set()

        consumer = threading.Thread(target=consume)
        consumer.start()
        cam.trigger()
        cam.stop()
        assert waiting.wait(10.0)
        consumer.join()
        assert not cam.running


@pytest.mark.parametrize("options", [dict(mirror=True), dict(flip=True), dict(rotate=90),
                                     dict(rotate=30)])
def test_transform_of_an_array_matches_delivered_frames(tree, options):
    # The images' own size: an explicit size is the displayed one, which a quarter turn swaps.
    plain = grab(tree, 3, cameras=1)
    turned = grab(tree, 3, cameras=1, **options)
    for source, delivered in zip(plain, turned):
        assert np.array_equal(tamra.transform(source.array, **options), delivered.array)


def test_transform_moves_pixels_as_numpy_would():
    image = np.arange(48 * 64, dtype=np.uint32).reshape(48, 64).astype(np.uint8)
    assert np.array_equal(tamra.transform(image, mirror=True), np.fliplr(image))
    assert np.array_equal(tamra.transform(image, flip=True), np.flipud(image))
    colour = np.random.default_rng(1).integers(0, 255, (48, 64, 3), dtype=np.uint8)
    assert np.array_equal(tamra.transform(colour, mirror=True), colour[:, ::-1])
    tiles = np.random.default_rng(2).integers(0, 255, (4, 48, 64), dtype=np.uint8)
    mosaic = tamra.transform(tiles, tiles=(2, 2))
    assert np.array_equal(mosaic, np.block([[tiles[0], tiles[1]], [tiles[2], tiles[3]]]))
    assert tamra.transform(image, rotate=90).shape == (64, 48)
    with pytest.raises(ValueError):
        tamra.transform(tiles[:3], tiles=(2, 2))
