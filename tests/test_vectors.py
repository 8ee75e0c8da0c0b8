"""Every case of the known-answer file, through the module: results, exception classes and messages."""
import pytest

import lumora_python_sdk as sdk
from conftest import load_function_cases

CASES = load_function_cases()


def exception_class(name):
    if name == "PanicException":
        # The class is created on the first abort; find it through a call known to abort.
        try:
            sdk.hash_limit_order("")
        except BaseException as e:  # noqa: BLE001 - we want the class itself
            if type(e).__name__ == "PanicException":
                return type(e)
        pytest.fail("could not obtain PanicException")
    return {"ValueError": ValueError}[name]


@pytest.mark.parametrize("name, case", CASES, ids=[f"{n}-{c['tag']}" for n, c in CASES])
def test_known_answer(name, case):
    fn = getattr(sdk, name)
    if "result" in case:
        assert fn(*case["args"]) == case["result"]
        return
    with pytest.raises(BaseException) as info:
        fn(*case["args"])
    assert type(info.value).__name__ == case["raises"]
    if case["raises"] == "PanicException":
        assert type(info.value).__module__ == "pyo3_runtime"
        assert not isinstance(info.value, Exception)
    else:
        assert type(info.value) is exception_class(case["raises"])
    message = str(info.value)
    if case["match"] == "exact":
        assert message == case["message"]
    else:
        assert message.startswith(case["message"])
