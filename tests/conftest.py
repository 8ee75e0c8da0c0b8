import json
import pathlib

import pytest

ROOT = pathlib.Path(__file__).resolve().parent.parent
# Known answers computed independently of this code (see tests/data/README.md).
VECTORS = ROOT / "tests" / "data"


@pytest.fixture(scope="session")
def vectors_dir():
    assert VECTORS.is_dir(), f"known-answer vectors not found at {VECTORS}"
    return VECTORS


def load_functions():
    """Each function of the known-answer file, in the file's order: its parameter names and cases."""
    return json.loads((VECTORS / "functions.json").read_text())["functions"]


def load_function_cases():
    return [(name, case) for name, function in load_functions().items() for case in function["cases"]]


def document_kinds():
    """The stems of the document kinds: each names a hasher hash_<stem>(json) and a signer
    sign_<stem>(json, pri_key) in the known-answer file."""
    functions = load_functions()
    return [name.removeprefix("hash_") for name, function in functions.items()
            if name.startswith("hash_") and function["params"] == ["json"]
            and functions.get("sign_" + name.removeprefix("hash_"), {}).get("params") == ["json", "pri_key"]]


def raised_class(fn) -> str:
    """The name of the exception class fn raises when every argument is malformed."""
    try:
        fn(*["zz"] * len(fn.__text_signature__.split(",")))
    except BaseException as error:  # PanicException is a BaseException
        return type(error).__name__
    raise AssertionError(f"{fn.__name__} accepted malformed arguments")


def under_address_sanitizer() -> bool:
    """Whether this process runs with AddressSanitizer's runtime (the
    sanitizer check preloads it): its allocator and shadow memory defeat
    checks that read all of memory or limit the address space."""
    try:
        with open("/proc/self/maps") as maps:
            return "libasan" in maps.read()
    except OSError:
        return False
