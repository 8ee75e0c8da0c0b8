"""The type stubs: installed with the module, complete, accepted by mypy, and
documenting every function truthfully."""
import ast
import doctest
import pathlib
import sys

import pytest

import lumora_python_sdk as sdk

from conftest import raised_class

ROOT = pathlib.Path(__file__).resolve().parent.parent
STUB = ROOT / "stubs" / "lumora_python_sdk-stubs" / "__init__.pyi"

GOOD = """
import lumora_python_sdk as sdk
digest: str = sdk.hash_transfer(json="{}")
ok: bool = sdk.verify_signature("r", "s", pub_key_x="x", pub_key_y="y", msg="m")
pair: str = sdk.private_key_to_public_key_xy(private_key="0x1")
version: str = sdk.__version__
"""

# Each of these is wrong in exactly one way that the stubs must catch.
BAD = {
    "result_type": 'import lumora_python_sdk as sdk\nflag: bool = sdk.hash_transfer("{}")\n',
    "argument_type": 'import lumora_python_sdk as sdk\nsdk.sign(b"key", "msg")\n',
    "keyword_name": 'import lumora_python_sdk as sdk\nsdk.sign_transfer(document="{}", pri_key="k")\n',
    "argument_count": 'import lumora_python_sdk as sdk\nsdk.is_on_curve("x")\n',
}


def run_mypy(tmp_path: pathlib.Path, source: str, filename: str = "sample.py"):
    mypy_api = pytest.importorskip("mypy.api")
    path = tmp_path / filename
    path.write_text(source)
    out, err, status = mypy_api.run(
        ["--strict", "--no-incremental", "--cache-dir", str(tmp_path / ".mypy_cache"),
         "--python-executable", sys.executable, str(path)]
    )
    return out + err, status


def stub_functions() -> dict[str, ast.FunctionDef]:
    tree = ast.parse(STUB.read_text())
    return {node.name: node for node in tree.body if isinstance(node, ast.FunctionDef)}


def test_stubs_cover_every_function():
    # Installed beside the module, in the environment's site-packages.
    stubs = [pathlib.Path(p) / "lumora_python_sdk-stubs" / "__init__.pyi" for p in sys.path]
    stub = next((s for s in stubs if s.is_file()), None)
    assert stub is not None
    text = stub.read_text()
    for name in sdk.__all__:
        assert f"def {name}{getattr(sdk, name).__text_signature__.split(')')[0]}" in text.replace(": str", "")


def test_stub_signatures_match_the_module():
    functions = stub_functions()
    assert list(functions) == sdk.__all__
    for name, node in functions.items():
        params = "(" + ", ".join(a.arg for a in node.args.args) + ")"
        assert params == getattr(sdk, name).__text_signature__, name


def test_docstrings_name_every_parameter_and_the_failure_raised():
    for name, node in stub_functions().items():
        doc = ast.get_docstring(node)
        assert doc, f"{name} has no docstring"
        for arg in node.args.args:
            assert f"{arg.arg}:" in doc, f"{name}'s docstring does not describe {arg.arg}"
        raises = doc.split("Raises:")[1].split("Example:")[0]
        raised = raised_class(getattr(sdk, name))
        assert f"{raised}:" in raises, name
        assert "TypeError:" in raises, name
        # Only the class the function raises is named as its failure.
        other = {"ValueError", "PanicException"} - {raised}
        assert not any(f"{cls}:" in raises for cls in other), name


def test_docstring_examples_hold():
    parser = doctest.DocTestParser()
    runner = doctest.DocTestRunner(optionflags=doctest.ELLIPSIS)
    namespace = {name: getattr(sdk, name) for name in sdk.__all__}
    for name, node in stub_functions().items():
        test = parser.get_doctest(ast.get_docstring(node), dict(namespace), name, str(STUB), node.lineno)
        assert test.examples, f"{name}'s docstring has no example"
        runner.run(test)
    assert runner.failures == 0, "a docstring example differs from the module's result (see output)"


def test_mypy_accepts_correct_use(tmp_path):
    out, status = run_mypy(tmp_path, GOOD)
    assert status == 0, out


@pytest.mark.parametrize("fault", BAD)
def test_mypy_rejects_misuse(tmp_path, fault):
    out, status = run_mypy(tmp_path, BAD[fault])
    assert status == 1, out


def test_stub_file_is_strict_clean(tmp_path):
    out, status = run_mypy(tmp_path, STUB.read_text(), "stub.pyi")
    assert status == 0, out
