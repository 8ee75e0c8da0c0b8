"""How failures reach a caller, and one way to handle them all alike.

Signing and verification raise ValueError. Hashing and key conversion raise
PanicException, which derives from BaseException, so `except Exception` lets
it through, and which cannot be imported (its module, pyo3_runtime, is not
importable): recognise it by its class name and module. A wrong argument type
raises TypeError. Every ValueError and PanicException message is also written
to standard error when it happens.

Run it with `python examples/failures.py` where the module is installed.
"""
import sys

import lumora_python_sdk as sdk

# --- recipe: begin
from typing import Callable, ParamSpec, TypeVar

P = ParamSpec("P")
R = TypeVar("R")


def is_panic(error: BaseException) -> bool:
    """Whether error is lumora_python_sdk's PanicException."""
    kind = type(error)
    return kind.__name__ == "PanicException" and kind.__module__ == "pyo3_runtime"


def checked(function: Callable[P, R], *args: P.args, **kwargs: P.kwargs) -> R:
    """Calls function; a PanicException comes back as a ValueError with the same message."""
    try:
        return function(*args, **kwargs)
    except BaseException as error:
        if is_panic(error):
            raise ValueError(*error.args) from error
        raise
# --- recipe: end


KEY = "0x" + "01" * 32


def main() -> int:
    caught: list[str] = []

    # Signing a malformed key: ValueError, catchable as usual.
    try:
        sdk.sign(KEY[:-1], "0x1234")
    except ValueError as error:
        caught.append("ValueError")
        print(f"ValueError from sign:\n  {error}")

    # Hashing a malformed document: PanicException, a BaseException.
    try:
        sdk.hash_withdraw('{"nonce": "1"}')
    except Exception:
        print("not reached: `except Exception` does not catch PanicException")
        return 1
    except BaseException as error:
        if not is_panic(error):
            raise
        caught.append("PanicException")
        print(f"PanicException ({type(error).__module__}.{type(error).__qualname__}) from hash_withdraw:\n  {error}")

    # The same failure through the helper: now an ordinary ValueError.
    try:
        checked(sdk.public_key_to_xy, "0xzz")
    except ValueError as error:
        caught.append("ValueError via checked")
        print(f"ValueError via checked from public_key_to_xy:\n  {error}")

    # A result passes through the helper unchanged.
    digest = checked(sdk.hash_signed_oracle_price, '["0x1", "1", "2", "0x3"]')
    print(f"checked(hash_signed_oracle_price, ...) returned {digest}")

    # An argument that is not a str: TypeError, raised before any native work.
    try:
        sdk.hash_transfer(b"{}")  # type: ignore[arg-type]
    except TypeError as error:
        caught.append("TypeError")
        print(f"TypeError from hash_transfer:\n  {error}")

    expected = ["ValueError", "PanicException", "ValueError via checked", "TypeError"]
    if caught != expected:
        print(f"caught {caught}, expected {expected}")
        return 1
    print("every failure was caught (the messages above were also written to standard error)")
    return 0


if __name__ == "__main__":
    sys.exit(main())
