"""Fixtures of the tamra tests: generated sample trees and the C++ reference client.

The tools come from the build: TAMRA_SAMPLES names tamra-samples and TAMRA_PYTHON_REFERENCE the
reference client (scripts/test-python sets both; by default the release build's are used).
"""

import os
import pathlib
import subprocess

import pytest

ROOT = pathlib.Path(__file__).resolve().parents[2]
BUILD = pathlib.Path(os.environ.get("TAMRA_BUILD_DIR", ROOT / "build" / "release"))


def tool(variable: str, default: pathlib.Path) -> pathlib.Path:
    path = pathlib.Path(os.environ.get(variable, default))
    if not path.exists():
        pytest.skip(f"{path} is not built")
    return path


def write_tree(folder: pathlib.Path, *args: str) -> pathlib.Path:
    samples = tool("TAMRA_SAMPLES", BUILD / "tools" / "tamra-samples")
    subprocess.run([str(samples), str(folder), *args], check=True, stdout=subprocess.DEVNULL)
    return folder


@pytest.fixture(scope="session")
def tree(tmp_path_factory) -> pathlib.Path:
    """Two cameras of 640 x 480 images with pass, fail and calib sets."""
    return write_tree(tmp_path_factory.mktemp("tree") / "run7")


@pytest.fixture(scope="session")
def small_tree(tmp_path_factory) -> pathlib.Path:
    """One camera of 64 x 48 images, cheap to compose by the thousand."""
    return write_tree(tmp_path_factory.mktemp("small") / "run", "--cameras", "1", "--width", "64",
                      "--height", "48")


@pytest.fixture(scope="session")
def reference():
    """Runs the C++ reference client and returns its frames as bytes."""
    binary = tool("TAMRA_PYTHON_REFERENCE", BUILD / "python" / "tamra-python-reference")

    def frames(folder, out, count, pixel_format=0, cameras=0, mirror=False, rotate=0) -> bytes:
        subprocess.run([str(binary), str(folder), str(out), str(count), str(int(pixel_format)),
                        str(cameras), "1" if mirror else "0", str(rotate)], check=True,
                       timeout=60)
        return pathlib.Path(out).read_bytes()

    return frames
