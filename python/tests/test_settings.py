"""Errors with the library's messages, line-I/O settings, GPIO records and hardware classes."""

import json

import pytest

import tamra


@pytest.fixture
def cam(tree):
    with tamra.Emulator(tree, cameras=1) as camera:
        yield camera


def test_library_failures_carry_its_message(tree, cam):
    with pytest.raises(tamra.Error, match=r"^CIGrab Init: Image ring buffer allocation failed$"):
        tamra.Emulator(tree, width=100000, height=100000)
    with pytest.raises(tamra.Error, match=r"^CIGrab::Start: Grab not created$"):
        tamra._tamra.Camera().start(int(tamra.Trigger.SOFTWARE), -1)
    assert issubclass(tamra.Error, RuntimeError)


def test_bad_arguments_raise_python_errors(tree, tmp_path, cam):
    with pytest.raises(FileNotFoundError):
        tamra.Emulator(tmp_path / "missing")
    with pytest.raises(ValueError, match="pixel_format|PixelFormat"):
        tamra.Emulator(tree, pixel_format="mono7")
    with pytest.raises(ValueError):
        tamra.Emulator(tree, buffers=1)
    with pytest.raises(IndexError):
        cam.gpi(32)
    with pytest.raises(KeyError, match="speed"):
        cam.set_gpo(0, speed=3)
    with pytest.raises(AttributeError):
        cam.width = 100


def test_frames_need_a_running_camera_without_callback(cam):
    with pytest.raises(tamra.Error, match="call start"):
        next(cam.frames())
    cam.on_frame(lambda frame: None)
    cam.start(trigger="software")
    with pytest.raises(tamra.Error, match="on_frame"):
        next(cam.frames())


def test_closed_camera_refuses_everything(tree):
    cam = tamra.Emulator(tree)
    cam.close()
    for call in (cam.start, cam.trigger, lambda: cam.gpi(0), lambda: cam.exposure):
        with pytest.raises(tamra.Error, match="the camera is closed"):
            call()


def test_settings_read_back_and_enums(tree, cam):
    assert cam.grab_type is tamra.GrabType.EMULATOR
    assert cam.pixel_format is tamra.PixelFormat.MONO8
    assert cam.image_path == str(tree)
    cam.strobe_enabled = True
    cam.strobe_offset = 7
    cam.strobe_duration = 0  # the library stores 1 for 0
    cam.exposure = 250.5
    cam.external_trigger_delay = 12
    cam.rejector_delay = 10  # stored although no rejector is enabled
    assert cam.rejector_delay == 10
    assert (cam.strobe_enabled, cam.strobe_offset, cam.strobe_duration) == (True, 7, 1)
    assert cam.exposure == 250.5 and cam.external_trigger_delay == 12
    cam.frame_delay_ms = 10
    assert cam.frame_delay_ms == 33  # the emulator's minimum
    cam.trigger_method = "external"
    assert cam.trigger_method is tamra.Trigger.EXTERNAL
    cam.start(trigger="software")
    assert cam.trigger_method == tamra.Trigger.SOFTWARE == 4


def test_gpio_records_as_dicts_saved_and_loaded(tree, tmp_path, cam):
    defaults = cam.gpi(3)
    assert set(defaults) == {"polarity", "debounce", "level", "threshold", "options"}
    cam.set_gpi(3, debounce=55, threshold=1.5)
    cam.set_gpo(5, {"offset": 20, "duration": 300})
    assert cam.gpi(3) == {**defaults, "debounce": 55, "threshold": 1.5}
    assert cam.gpo(5)["offset"] == 20 and cam.gpo(5)["duration"] == 300
    saved = cam.gpio_settings()
    assert saved["GPI3.Debounce"] == 55 and saved["GPI3.Threshold"] == 1.5
    path = tmp_path / "gpio.json"
    cam.save_gpio(path)
    assert json.loads(path.read_text())["GPI3.Debounce"] == 55
    with tamra.Emulator(tree) as other:
        assert other.gpi(3) == defaults
        other.load_gpio(path)
        assert other.gpi(3) == cam.gpi(3) and other.gpo(5) == cam.gpo(5)
        assert other.gpio_settings() == saved


def test_hardware_classes_report_their_family_and_defaults():
    classes = tamra.hardware_classes()
    assert classes["Emulator"]["grab_type"] is tamra.GrabType.EMULATOR
    assert classes["Kesto"]["grab_type"] is tamra.GrabType.KESTO
    assert classes["Kesto"]["rejector_delay"] == 1500
    assert (classes["Trell"]["rejector_delay"], classes["Trell"]["recycle_delay"]) == (1500, 1500)
    assert classes["Vortan"]["exposure"] == 512.0
    assert classes["Core"]["rejector_delay"] == 100
    assert {c["grab_type"] for c in classes.values()} >= {tamra.GrabType.GEV, tamra.GrabType.ZEPH}
