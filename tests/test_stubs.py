"""The installed type stubs give every function its parameter names and types."""
import pathlib
import sys

import pytest

import lumora_python_sdk as sdk

mypy_api = pytest.importorskip("mypy.api")

GOOD = """
import lumora_python_sdk as sdk
digest: str = sdk.hash_transfer(json="{}")
ok: bool = sdk.verify_signature("r", "s", pub_key_x="x", pub_key_y="y", msg="m")
pair: str = sdk.private_key_to_public_key_xy(private_key="0x1")
"""

BAD = """
import lumora_python_sdk as sdk
flag: bool = sdk.hash_transfer("{}")
sdk.sign(b"key", "msg")
sdk.sign_transfer(document="{}", pri_key="k")
"""


def run_mypy(tmp_path: pathlib.Path, source: str):
    path = tmp_path / "sample.py"
    path.write_text(source)
    out, err, status = mypy_api.run(
        ["--strict", "--no-incremental", "--cache-dir", str(tmp_path / ".mypy_cache"),
         "--python-executable", sys.executable, str(path)]
    )
    return out, status


def test_stubs_cover_every_function():
    # Installed beside the module, in the environment's site-packages.
    stubs = [pathlib.Path(p) / "lumora_python_sdk-stubs" / "__init__.pyi" for p in sys.path]
    stub = next((s for s in stubs if s.is_file()), None)
    assert stub is not None
    text = stub.read_text()
    for name in sdk.__all__:
        assert f"def {name}{getattr(sdk, name).__text_signature__.split(')')[0]}" in text.replace(": str", "")


def test_mypy_accepts_correct_use(tmp_path):
    out, status = run_mypy(tmp_path, GOOD)
    assert status == 0, out


def test_mypy_rejects_wrong_types_and_names(tmp_path):
    out, status = run_mypy(tmp_path, BAD)
    assert status == 1
    assert 'Incompatible types in assignment (expression has type "str", variable has type "bool")' in out
    assert 'Argument 1 to "sign" has incompatible type "bytes"' in out
    assert 'Unexpected keyword argument "document"' in out
