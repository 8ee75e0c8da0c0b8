"""The module as Python sees it: names, signatures, argument binding and failure types."""
import pathlib
import re
import subprocess
import sys
import textwrap

import pytest

import lumora_python_sdk as sdk
from conftest import document_kinds, load_functions

# Every function and its parameter names, as the known answers list them.
FUNCTIONS = {name: tuple(function["params"]) for name, function in load_functions().items()}


def test_module_attributes():
    assert sdk.__all__ == list(FUNCTIONS)
    # The version pyproject.toml gives, outside __all__ so a star import brings functions only.
    pyproject = (pathlib.Path(__file__).resolve().parent.parent / "pyproject.toml").read_text()
    assert f'\nversion = "{sdk.__version__}"\n' in pyproject
    assert re.fullmatch(r"\d+\.\d+\.\d+", sdk.__version__)
    assert "__version__" not in sdk.__all__
    assert sdk.__name__ == "lumora_python_sdk"
    assert "natively" in sdk.__doc__
    for name, params in FUNCTIONS.items():
        fn = getattr(sdk, name)
        assert fn.__name__ == name
        assert fn.__module__ == "lumora_python_sdk"
        assert fn.__doc__ is None
        assert fn.__text_signature__ == "(" + ", ".join(params) + ")"
    # Documents of every kind are hashed and signed: a kind has both functions.
    documents = {n for n in sdk.__all__ if n.startswith(("hash_", "sign_"))}
    assert documents == {f"{verb}_{kind}" for kind in document_kinds() for verb in ("hash", "sign")}


@pytest.mark.parametrize(
    "call, message",
    [
        (lambda: sdk.hash_withdraw(), "hash_withdraw() missing 1 required positional argument: 'json'"),
        (lambda: sdk.sign("k"), "sign() missing 1 required positional argument: 'msg'"),
        (lambda: sdk.sign(), "sign() missing 2 required positional arguments: 'private_key' and 'msg'"),
        (
            lambda: sdk.verify_signature("a", "b"),
            "verify_signature() missing 3 required positional arguments: 'pub_key_x', 'pub_key_y', and 'msg'",
        ),
        (
            lambda: sdk.verify_signature("a", msg="b"),
            "verify_signature() missing 3 required positional arguments: 'sig_s', 'pub_key_x', and 'pub_key_y'",
        ),
        (lambda: sdk.hash_transfer("a", "b"), "hash_transfer() takes 1 positional arguments but 2 were given"),
        (lambda: sdk.sign("a", "b", "c"), "sign() takes 2 positional arguments but 3 were given"),
        (
            lambda: sdk.sign_transfer(json="{}", pri_key="k", extra="x"),
            "sign_transfer() got an unexpected keyword argument 'extra'",
        ),
        (lambda: sdk.sign_transfer("{}", json="{}"), "sign_transfer() got multiple values for argument 'json'"),
        (
            lambda: sdk.hash_transfer(b"{}"),
            "argument 'json': 'bytes' object cannot be converted to 'PyString'",
        ),
        (
            lambda: sdk.is_on_curve("1", None),
            "argument 'y': 'NoneType' object cannot be converted to 'PyString'",
        ),
        (
            lambda: sdk.is_on_curve(y=1.5, x=[]),
            "argument 'x': 'list' object cannot be converted to 'PyString'",
        ),
        (
            lambda: sdk.hash_transfer(json=sdk),
            "argument 'json': 'module' object cannot be converted to 'PyString'",
        ),
    ],
)
def test_binding_type_errors(call, message):
    with pytest.raises(TypeError) as info:
        call()
    assert str(info.value) == message


def test_nested_class_reports_qualified_name():
    class Outer:
        class Inner:
            pass

    with pytest.raises(TypeError, match=r"'test_nested_class_reports_qualified_name.<locals>.Outer.Inner' object"):
        sdk.hash_withdraw(Outer.Inner())


def test_unexpected_keyword_checked_before_conversion():
    # Binding completes before any argument is converted.
    with pytest.raises(TypeError, match="missing 1 required positional argument: 'msg'"):
        sdk.sign(b"not text")


def test_lone_surrogate_raises_unicode_encode_error():
    with pytest.raises(UnicodeEncodeError):
        sdk.hash_withdraw("\ud800")


def test_second_initialisation_fails():
    script = textwrap.dedent(
        """
        import sys
        import lumora_python_sdk
        del sys.modules["lumora_python_sdk"]
        try:
            import lumora_python_sdk
        except ImportError as e:
            print(type(e).__name__, e)
        """
    )
    out = subprocess.run([sys.executable, "-c", script], capture_output=True, text=True, check=True).stdout
    assert out.strip() == "ImportError PyO3 modules may only be initialized once per interpreter process"


def test_panic_exception_class_and_stderr_diagnostic():
    script = textwrap.dedent(
        """
        import lumora_python_sdk as sdk
        classes = []
        for _ in range(2):
            try:
                sdk.hash_withdraw("?")
            except BaseException as e:
                classes.append(type(e))
        cls = classes[0]
        assert classes[0] is classes[1]
        assert not issubclass(cls, Exception) and issubclass(cls, BaseException)
        assert cls.__bases__ == (BaseException,)
        print(cls.__module__, cls.__name__, cls.__qualname__, bool(cls.__doc__))
        try:
            sdk.sign_withdraw("?", "0x1")
        except ValueError as e:
            print("value error:", e)
        """
    )
    run = subprocess.run([sys.executable, "-c", script], capture_output=True, text=True, check=True)
    lines = run.stdout.splitlines()
    assert lines[0] == "pyo3_runtime PanicException PanicException True"
    assert lines[1] == "value error: Couldn get jubjubSignature: expected value at line 1 column 1"
    # Every abort, caught or not, is written to standard error when it happens.
    assert run.stderr.count("Couldn't get hash: expected value at line 1 column 1") == 2
    assert run.stderr.count("Couldn get jubjubSignature: expected value at line 1 column 1") == 1
