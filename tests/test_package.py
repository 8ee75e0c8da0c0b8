"""The installed distribution as pip sees it: what lands in site-packages, under which
wheel tag, and the metadata and licence a user reads."""
import importlib.machinery
import importlib.metadata
import sys

import pytest

import lumora_python_sdk

try:
    DIST = importlib.metadata.distribution("lumora_python_sdk")
except importlib.metadata.PackageNotFoundError:
    # A module from a build tree on the path (scripts/toolchains.sh tests the
    # builds of several compilers so) has no distribution to check; pip
    # installs always have one.
    pytest.skip("the module is not installed as a distribution", allow_module_level=True)
VERSION = f"{sys.version_info.major}.{sys.version_info.minor}"


def test_site_packages_gets_the_module_its_stubs_and_nothing_else():
    files = [str(f) for f in DIST.files]
    modules = [f for f in files if f.startswith("lumora_python_sdk.") and "/" not in f]
    assert len(modules) == 1, modules
    suffix = modules[0].removeprefix("lumora_python_sdk")
    assert suffix in importlib.machinery.EXTENSION_SUFFIXES
    # One stable-ABI module serves 3.12 and later; 3.11 gets one of its own.
    assert (suffix == ".abi3.so") == (sys.version_info >= (3, 12))
    assert "lumora_python_sdk-stubs/__init__.pyi" in files
    # Only the module, the stubs, the metadata and the libraries auditwheel vendors.
    dist_info = next(f.split("/")[0] for f in files if f.endswith(".dist-info/METADATA"))
    top = {f.split("/")[0] for f in files}
    extra = top - {modules[0], "lumora_python_sdk-stubs", "lumora_python_sdk.libs", dist_info}
    assert not extra, extra


def test_wheel_tag_matches_the_interpreters_it_serves():
    # A repaired wheel names its platform twice (manylinux_2_17 and manylinux2014).
    tags = [line.split(": ", 1)[1] for line in DIST.read_text("WHEEL").splitlines() if line.startswith("Tag: ")]
    assert tags
    interpreter = {tuple(tag.split("-")[:2]) for tag in tags}
    if sys.version_info >= (3, 12):
        assert interpreter == {("cp312", "abi3")}, tags
    else:
        minor = f"cp3{sys.version_info.minor}"
        assert interpreter == {(minor, minor)}, tags


def test_metadata_and_licence():
    meta = DIST.metadata
    assert meta["Name"] == "lumora_python_sdk"
    assert meta["Version"] == lumora_python_sdk.__version__
    assert meta["License-Expression"] == "LicenseRef-Proprietary"
    assert meta["Requires-Python"] == ">=3.11"
    classifiers = meta.get_all("Classifier")
    assert len([c for c in classifiers if c.startswith("Development Status :: ")]) == 1
    for c in ["Private :: Do Not Upload", "Typing :: Typed", f"Programming Language :: Python :: {VERSION}"]:
        assert c in classifiers, c
    assert not [c for c in classifiers if c.startswith("License ::")]  # the expression replaces them
    assert meta.get_all("License-File") == ["LICENSE"]
    assert "All rights reserved." in DIST.read_text("licenses/LICENSE")
    # The description is the installer's page, with what a source build needs.
    assert meta["Description-Content-Type"] == "text/markdown"
    description = meta.get_payload()
    for needed in ["pip install --no-index --find-links", "GCC 11", "clang 14", "CMake 3.20", "aarch64"]:
        assert needed in description, needed
