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


def load_function_cases():
    data = json.loads((VECTORS / "functions.json").read_text())["functions"]
    return [(name, case) for name, function in data.items() for case in function["cases"]]


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
