"""Tamra camera emulator for Python: play a folder of bitmaps as a camera, frames as NumPy arrays.

    import tamra
    with tamra.Emulator(images="inspection/run7", width=640, height=480,
                        pixel_format="mono8") as cam:
        cam.start(trigger="software")
        for frame in cam.frames(count=100, trigger=True, timeout=1.0):
            print(frame.number, frame.source_files, frame.array.shape, frame.array.mean())

Threads: the library composes frames on its own threads. While a Python thread waits for a
frame, or starts, stops or closes a camera, it does not hold the GIL. A callback registered with
``Emulator.on_frame`` runs on the library's delivery thread with the GIL taken.
"""

from __future__ import annotations

import atexit
import enum
import json
import os
import weakref
from typing import Any, Callable, Dict, Iterator, List, Mapping, Optional, Tuple, Union

import numpy as np

from . import _tamra
from ._tamra import Error

__all__ = [
    "CallbackError",
    "Emulator",
    "Error",
    "Frame",
    "FrameTimeout",
    "GrabType",
    "PixelFormat",
    "Trigger",
    "check_image",
    "hardware_classes",
    "transform",
]

PathLike = Union[str, "os.PathLike[str]"]

Error.__doc__ = "A failure of the library, carrying its own message (\"CIGrab::Start: Grab not created\")."
Error.__module__ = "tamra"


class FrameTimeout(Error, TimeoutError):
    """No frame arrived within the time-out given to ``Emulator.frames``."""


class CallbackError(Error):
    """An ``on_frame`` callback raised; raised by ``stop()`` or ``close()`` afterwards.

    ``errors`` holds every exception the callback raised since errors were last raised this way
    (the first is also the ``__cause__``). Each one was also reported through ``sys.unraisablehook`` when it happened.
    """

    def __init__(self, message: str, errors: List[BaseException]) -> None:
        super().__init__(message)
        self.errors = errors


class Trigger(enum.IntEnum):
    """What makes the emulator produce a frame."""

    NONE = 0
    FREE_RUN = 2
    EXTERNAL = 3
    SOFTWARE = 4


class PixelFormat(enum.IntEnum):
    """Colour layout of the delivered frames."""

    MONO8 = 0
    MONO8_ALT = 1
    PLANES = 2
    RGB32 = 3
    RGB24 = 4


class GrabType(enum.IntEnum):
    """Back-end family a grab object reports."""

    TRELL = 0
    KESTO = 1
    VORTAN = 2
    EMULATOR = 3
    FW1394 = 4
    BRIXO = 5
    BRIXOLT = 6
    BRIXOLT_ALT = 7
    GEV = 8
    ZEPH = 9
    CORE = 13


def _enum_value(kind: type, value: Union[str, int]) -> int:
    if isinstance(value, str):
        try:
            return int(kind[value.upper().replace("-", "_")])
        except KeyError:
            names = ", ".join(m.name.lower() for m in kind)
            raise ValueError(f"unknown {kind.__name__} {value!r}; one of {names}") from None
    return int(kind(value))


class Frame:
    """One delivered frame.

    ``array`` is a NumPy array of dtype uint8: H x W for mono8, H x W x 3 (or 4) for 24-bit (or
    32-bit) colour, and N x H x W (x 3 or 4) when a frame holds several planes (cameras, tiles or
    the planes format). It is a copy owned by Python unless the callback was registered with
    ``view=True``: then it is a read-only view of the library's ring slot, valid only until the
    callback returns (``array`` then raises; use ``copy()`` to keep the pixels).

    ``number`` counts frames since ``start()``, ``slot`` is the ring slot the frame came in,
    ``time`` the delivery time on the ``time.monotonic()`` clock, ``source_files`` the bitmap file
    of each plane (the one tried, for a substituted plane; None when there was none),
    ``substituted`` and
    ``reasons`` say which planes were substituted and why, and ``compose_us`` is the time the
    library took to compose the frame, in microseconds; all from the library's frame records.
    """

    __slots__ = ("_array", "number", "slot", "time", "compose_us", "source_files",
                 "substituted", "reasons", "is_view")

    def __init__(self, array: np.ndarray, meta: tuple, is_view: bool = False) -> None:
        self._array: Optional[np.ndarray] = array
        self.number, self.slot, self.time, self.compose_us, planes = meta
        self.source_files, self.substituted, self.reasons = planes
        self.is_view = is_view

    @property
    def array(self) -> np.ndarray:
        if self._array is None:
            raise Error("the frame view ended when its callback returned; use frame.copy() inside the callback")
        return self._array

    def copy(self) -> np.ndarray:
        """The pixels as an array owned by Python (a new copy)."""
        return np.array(self.array, copy=True)

    @property
    def sets(self) -> Tuple[Optional[str], ...]:
        """For each plane: "pass", "fail", "calib", "loose" (a file of the camera folder itself)
        or None (no file)."""
        result = []
        for path in self.source_files:
            if path is None:
                result.append(None)
                continue
            parent = os.path.basename(os.path.dirname(path)).lower()
            result.append(parent if parent in ("pass", "fail", "calib") else "loose")
        return tuple(result)

    def _expire(self) -> None:
        self._array = None

    def __repr__(self) -> str:
        shape = None if self._array is None else self._array.shape
        return f"<tamra.Frame number={self.number} slot={self.slot} shape={shape}>"


_open_cameras: "weakref.WeakSet[Emulator]" = weakref.WeakSet()

# Settings that read and write as plain numbers: Python name -> library name.
_NUMBER_SETTINGS = {
    "frame_delay_ms": "frame_delay",
    "strobe_offset": "strobe_offset",
    "strobe_duration": "strobe_duration",
    "external_trigger_delay": "external_trigger_delay",
    "rejector_delay": "rejector_delay",
    "recycle_delay": "recycle_delay",
    "parts_between_sensors": "parts_between_sensors",
    "brightness": "brightness",
    "contrast": "contrast",
    "exposure": "exposure",
    "lut_floor": "lut_floor",
    "lut_ceiling": "lut_ceiling",
}
_FLAG_SETTINGS = {
    "strobe_enabled": "strobe_enable",
    "external_trigger_delay_enabled": "external_trigger_delay_enable",
}
_READ_ONLY = ("width", "height", "bytes_per_pixel", "buffer_count", "cameras",
              "hardware_revision")


class Emulator:
    """A camera emulator playing the bitmap files of a folder.

    ``images`` is the folder (str or os.PathLike; relative to the current directory). Camera 0
    plays the folder itself, camera k its sub-folder ``Cam<k>``; each camera plays its loose
    files, then ``pass/`` and ``fail/``, over and over (``calib/`` holds the calibration set).
    ``width`` and ``height`` default to the first image's; every file is scaled to them.
    ``pixel_format`` is "mono8", "planes", "rgb24" or "rgb32" (or a ``PixelFormat``); ``cameras``
    the number of cameras (planes per frame); ``buffers`` the ring size (at least 2; one slot
    is the spare the library keeps for overruns). ``mirror``, ``flip``, ``rotate`` (degrees) and
    ``tiles`` (horizontal, vertical) transform each delivered frame as the library's
    ApplyImageTransform does. With ``conform=False`` files that do not match the geometry are
    left out instead of scaled.

    Each frame's ``sets`` tells which set each plane came from. The ``calib/`` files form the
    calibration list, which the library serves only under its calibration category; the public
    interface selects none, so they are not played.

    Use it as a context manager, or call ``close()``; closing stops a running camera.
    """

    def __init__(self, images: PathLike, width: Optional[int] = None,
                 height: Optional[int] = None, pixel_format: Union[str, int] = "mono8",
                 cameras: Optional[int] = None, buffers: Optional[int] = None,
                 mirror: bool = False, flip: bool = False, rotate: int = 0,
                 tiles: Tuple[int, int] = (1, 1), conform: bool = True) -> None:
        folder = os.path.abspath(os.fspath(images))
        if not os.path.isdir(folder):
            raise FileNotFoundError(f"no image folder {folder}")
        if cameras is not None and not 1 <= cameras <= 8:
            raise ValueError("cameras must be 1 to 8")
        if buffers is not None and buffers < 2:
            raise ValueError("buffers must be at least 2")
        self._callback: Optional[Callable[[Frame], Any]] = None
        self._errors: List[BaseException] = []
        self._core = _tamra.Camera()
        try:
            self._core.open(folder, width or 0, height or 0,
                            _enum_value(PixelFormat, pixel_format), cameras or 0, buffers or 0,
                            bool(mirror), bool(flip), int(rotate) % 360, int(tiles[0]),
                            int(tiles[1]), bool(conform))
        except BaseException:
            self._core.close()
            raise
        _open_cameras.add(self)

    # ---- lifecycle

    def __enter__(self) -> "Emulator":
        return self

    def __exit__(self, exc_type, exc, tb) -> None:
        self.close(raise_callback_errors=exc_type is None)

    def __del__(self) -> None:
        core = getattr(self, "_core", None)
        if core is not None and not core.closed:
            core.close()

    def start(self, trigger: Union[str, int] = "free_run",
              frame_delay: Optional[float] = None) -> None:
        """Starts acquisition.

        ``trigger`` is "free_run", "software", "external" or a ``Trigger``. In free run a frame
        comes every ``frame_delay`` seconds plus the time to compose it (the library's minimum
        delay is 0.033 s); with "software" one frame per ``trigger()`` (or ``frames(trigger=
        True)``). Triggers given while one is still pending merge into one frame.
        """
        delay = -1 if frame_delay is None else int(round(frame_delay * 1000))
        self._core.start(_enum_value(Trigger, trigger), delay)

    def stop(self, raise_callback_errors: bool = True) -> None:
        """Stops acquisition; frames still in the ring are not delivered.

        Works from any thread and from inside an ``on_frame`` callback (the stop is then
        finished on a thread of the module once the callback has returned). Raises
        ``CallbackError`` when the callback raised since errors were last raised (not from
        inside the callback itself: they wait for the next stop() or close()).
        """
        self._core.stop()
        if raise_callback_errors and not _tamra.in_callback():
            self._raise_callback_errors()

    def close(self, raise_callback_errors: bool = True) -> None:
        """Stops and releases the camera. Safe to call twice, from any thread or callback."""
        self._core.close()
        _open_cameras.discard(self)
        if raise_callback_errors and not _tamra.in_callback():
            self._raise_callback_errors()

    @property
    def running(self) -> bool:
        """True from ``start()`` until a stop was asked for."""
        return self._core.running

    @property
    def closed(self) -> bool:
        return self._core.closed

    def trigger(self) -> None:
        """Gives one software trigger."""
        self._core.trigger()

    # ---- frames

    def frames(self, count: Optional[int] = None, trigger: bool = False,
               timeout: Optional[float] = None) -> Iterator[Frame]:
        """Yields delivered frames as ``Frame`` objects with copies of the pixels.

        ``count`` frames (forever when None); with ``trigger=True`` one software trigger is
        given before each frame is waited for. ``timeout`` (seconds) raises ``FrameTimeout``
        when no frame comes in time. The iteration ends when the camera is stopped. Frames
        queue in the library's ring while the loop body runs; when the ring is full the library
        drops frames (counted in ``stats["dropped"]``). Ctrl-C raises KeyboardInterrupt
        promptly and leaves the camera stoppable.
        """
        if self._callback is not None:
            raise Error("frames() cannot be used while an on_frame callback is set")
        if not self._core.running:
            raise Error("the camera is not running; call start() first")
        wait = -1.0 if timeout is None else float(timeout)
        given = 0
        while count is None or given < count:
            if trigger:
                self._core.trigger()
            status, array, meta = self._core.next_frame(wait)
            if status == 1:
                raise FrameTimeout(f"no frame within {timeout} s")
            if status == 2:
                return
            given += 1
            yield Frame(array, meta)

    def on_frame(self, callback: Optional[Callable[[Frame], Any]], *,
                 view: bool = False) -> Optional[Callable[[Frame], Any]]:
        """Calls ``callback(frame)`` for every frame, on the library's delivery thread.

        The GIL is held during the call; while it runs, the library keeps composing into the
        other ring slots, and a slow callback costs dropped frames, not time. An exception in
        the callback is reported at once through ``sys.unraisablehook`` and raised again, as a
        ``CallbackError``, by ``stop()`` or ``close()``. With ``view=True`` ``frame.array`` is
        a read-only view of the ring slot, valid only inside the callback: keeping it (or a
        slice of it) past the return is reported as an error; call ``frame.copy()`` to keep
        pixels. ``None`` removes the callback. Usable as a decorator.
        """
        if callback is None:
            self._callback = None
            self._core.set_callback(None, None, False)
            return None
        this = weakref.ref(self)

        def dispatch(array: np.ndarray, meta: tuple, is_view: bool) -> None:
            frame = Frame(array, meta, is_view)
            try:
                callback(frame)
            except BaseException as exc:
                owner = this()
                if owner is not None:
                    owner._errors.append(exc)
                raise  # reported by the module through sys.unraisablehook
            finally:
                frame._expire() if is_view else None

        def escaped() -> None:
            owner = this()
            if owner is not None:
                owner._errors.append(Error(
                    "a frame view was still referenced after its callback returned; "
                    "use frame.copy() to keep pixels"))

        self._callback = callback
        self._core.set_callback(dispatch, escaped, bool(view))
        return callback

    @property
    def callback_errors(self) -> List[BaseException]:
        """Exceptions raised by the on_frame callback and not yet raised again by ``stop()`` or
        ``close()``."""
        return list(self._errors)

    def _raise_callback_errors(self) -> None:
        errors, self._errors = self._errors, []
        if errors:
            raise CallbackError(
                f"the on_frame callback failed {len(errors)} time(s); first: {errors[0]!r}",
                errors) from errors[0]

    @property
    def stats(self) -> Dict[str, Any]:
        """What happened since ``start()``.

        ``triggers``: software triggers given through this object. ``delivered``: frames the
        library handed to the binding (buffer callbacks); ``handed``: of those, the frames given
        to Python; ``discarded``: the ones let go because a stop came first. ``dropped``:
        overruns, frames lost because the ring was full; ``reported``: overrun reports (fewer
        than the drops when they come faster than they are reported). ``produced`` = delivered
        + dropped (+ the frames still in the ring at stop). Where the library keeps its own
        counters (``library``, read while the camera is open), ``delivered`` and ``dropped`` are
        the library's, and
        ``discarded_at_stop``, ``merged`` (triggers that came while one was pending) and
        ``substituted`` (frames with a stand-in plane) come from it too; after ``close()`` only
        the binding's own counts remain and these are None.
        """
        counts: Dict[str, Any] = dict(self._core.counters())
        library = None if self._core.closed else self._core.library_counters()
        counts["library"] = library
        counts["discarded_at_stop"] = counts["merged"] = counts["substituted"] = None
        if library is not None:
            counts["delivered"] = library["frames_delivered"]
            counts["dropped"] = library["frames_dropped"]
            counts["discarded_at_stop"] = library["frames_discarded_at_stop"]
            counts["merged"] = library["triggers_merged"]
            counts["substituted"] = library["frames_substituted"]
        counts["produced"] = (counts["delivered"] + counts["dropped"]
                              + (counts["discarded_at_stop"] or 0))
        return counts

    # ---- layout

    @property
    def shape(self) -> Tuple[int, ...]:
        """Shape of ``frame.array``."""
        return tuple(self._core.shape)

    @property
    def pixel_format(self) -> PixelFormat:
        return PixelFormat(self._core.get("pixel_format"))

    @property
    def grab_type(self) -> GrabType:
        return GrabType(self._core.get("grab_type"))

    @property
    def image_path(self) -> str:
        """The folder the emulator plays."""
        return self._core.image_path()

    # ---- line I/O

    @property
    def trigger_method(self) -> Trigger:
        """Trigger method; setting it on a running camera stops and restarts it."""
        return Trigger(self._core.get("trigger_method"))

    @trigger_method.setter
    def trigger_method(self, value: Union[str, int]) -> None:
        self._core.set("trigger_method", _enum_value(Trigger, value))

    def gpi(self, index: int) -> Dict[str, Any]:
        """Input record ``index`` (0 to 31): polarity, debounce, level, threshold, options."""
        return self._core.gpi(index)

    def gpo(self, index: int) -> Dict[str, Any]:
        """Output record ``index`` (0 to 31): polarity, offset, duration, driver,
        initial_value."""
        return self._core.gpo(index)

    def set_gpi(self, index: int, fields: Optional[Mapping[str, float]] = None,
                **more: float) -> None:
        """Changes the given fields of input record ``index``; the others stay."""
        self._core.set_gpi(index, {**(fields or {}), **more})

    def set_gpo(self, index: int, fields: Optional[Mapping[str, float]] = None,
                **more: float) -> None:
        """Changes the given fields of output record ``index``; the others stay."""
        self._core.set_gpo(index, {**(fields or {}), **more})

    def gpio_settings(self) -> Dict[str, Union[int, float]]:
        """Every GPIO record as the library saves it: keys such as "GPI3.Debounce"."""
        return self._core.save_storage()

    def load_gpio_settings(self, values: Mapping[str, Union[int, float]]) -> None:
        """Applies saved GPIO settings; keys missing from ``values`` take their defaults."""
        self._core.load_storage(dict(values))

    def save_gpio(self, path: PathLike) -> None:
        """Writes the GPIO settings to a JSON file."""
        with open(os.fspath(path), "w", encoding="utf-8") as out:
            json.dump(self.gpio_settings(), out, indent=1, sort_keys=True)

    def load_gpio(self, path: PathLike) -> None:
        """Reads GPIO settings written by ``save_gpio`` and applies them."""
        with open(os.fspath(path), encoding="utf-8") as source:
            values = json.load(source)
        if not isinstance(values, dict):
            raise ValueError(f"{os.fspath(path)} holds no GPIO settings")
        self.load_gpio_settings(values)

    def __repr__(self) -> str:
        state = "closed" if self.closed else ("running" if self.running else "stopped")
        return f"<tamra.Emulator {state} shape={self.shape if not self.closed else None}>"


def _number_property(name: str, writable: bool) -> property:
    def get(self: Emulator) -> Any:
        return self._core.get(name)

    def set_(self: Emulator, value: float) -> None:
        self._core.set(name, value)

    return property(get, set_ if writable else None, doc=f"The library's {name} setting.")


def _flag_property(name: str) -> property:
    def get(self: Emulator) -> bool:
        return bool(self._core.get(name))

    def set_(self: Emulator, value: bool) -> None:
        self._core.set(name, 1 if value else 0)

    return property(get, set_, doc=f"The library's {name} setting.")


for _python_name, _library_name in _NUMBER_SETTINGS.items():
    setattr(Emulator, _python_name, _number_property(_library_name, True))
for _python_name, _library_name in _FLAG_SETTINGS.items():
    setattr(Emulator, _python_name, _flag_property(_library_name))
for _python_name in _READ_ONLY:
    setattr(Emulator, _python_name, _number_property(_python_name, False))


def transform(array: np.ndarray, *, mirror: bool = False, flip: bool = False, rotate: int = 0,
              tiles: Tuple[int, int] = (1, 1),
              pixel_format: Optional[Union[str, int]] = None) -> np.ndarray:
    """Transforms a frame as the library transforms delivered frames, into a new array.

    ``array`` is laid out as ``frame.array`` of an untransformed camera: H x W (mono8),
    H x W x 3 or 4 (colour), or N x H x W (x 3 or 4) for N planes. With ``tiles`` (h, v) the
    planes are each camera's tiles in order and come back as one mosaic per camera.
    """
    data = np.ascontiguousarray(array, dtype=np.uint8)
    if pixel_format is None:
        colour = data.ndim >= 3 and data.shape[-1] in (3, 4) and (data.ndim == 4 or data.ndim == 3)
        pixel_format = {3: "rgb24", 4: "rgb32"}[data.shape[-1]] if colour else "mono8"
    fmt = _enum_value(PixelFormat, pixel_format)
    if fmt == int(PixelFormat.PLANES):
        fmt = int(PixelFormat.MONO8)
    bpp = {int(PixelFormat.RGB24): 3, int(PixelFormat.RGB32): 4}.get(fmt, 1)
    image_dims = 2 if bpp == 1 else 3
    if data.ndim not in (image_dims, image_dims + 1):
        raise ValueError(f"expected an array of {image_dims} or {image_dims + 1} dimensions")
    planes = data.shape[0] if data.ndim == image_dims + 1 else 1
    height, width = data.shape[-image_dims:][:2]
    horizontal, vertical = int(tiles[0]), int(tiles[1])
    if horizontal < 1 or vertical < 1 or planes % (horizontal * vertical):
        raise ValueError("the number of planes is not a multiple of the tile count")
    cameras = planes // (horizontal * vertical)
    if int(rotate) % 180 == 90:
        # The library takes the displayed size, which a quarter turn transposes.
        width, height = height, width
    return _tamra.transform(data, width, height, fmt, cameras, bool(mirror), bool(flip),
                            int(rotate) % 360, horizontal, vertical)


def check_image(path: PathLike, width: int = 640, height: int = 480,
                pixel_format: Union[str, int] = "mono8", conform: bool = True) -> Tuple[bool, str]:
    """Whether the emulator plays the bitmap at ``path`` in a camera of that geometry, by the
    loader's own test: (True, "") when it does, else (False, the reason in words). With
    ``conform=False`` a file that does not match the geometry is refused instead of scaled."""
    fmt = _enum_value(PixelFormat, pixel_format)
    bpp = {int(PixelFormat.RGB24): 3, int(PixelFormat.RGB32): 4}.get(fmt, 1)
    return _tamra.check_image(os.fspath(path), int(width), int(height), bpp, bool(conform))


def hardware_classes() -> Dict[str, Dict[str, Any]]:
    """The hardware back-end classes' constants, read from freshly constructed objects: for each
    class its grab type, line-I/O defaults (rejector and recycle delay, strobe, exposure, ...)
    and its first three output records."""
    classes = _tamra.hardware_classes()
    for values in classes.values():
        values["grab_type"] = GrabType(values["grab_type"])
        values["trigger_method"] = Trigger(values["trigger_method"])
        values["pixel_format"] = PixelFormat(values["pixel_format"])
    return classes


def _close_all() -> None:
    # Cameras still open at exit are stopped before the interpreter goes: the library's threads
    # must not call into Python after that.
    for camera in list(_open_cameras):
        try:
            camera.close(raise_callback_errors=False)
        except Exception:
            pass
    _tamra.shutdown()


atexit.register(_close_all)
