"""The installed module exports its initialisation function and nothing else:
no symbol of the core or of the C++ library can clash with another module's."""
import shutil
import subprocess
import sys

import pytest

import lumora_python_sdk as sdk


@pytest.mark.skipif(not sys.platform.startswith("linux"), reason="reads the ELF dynamic symbol table")
def test_only_the_module_init_function_is_exported():
    nm = shutil.which("nm")
    assert nm is not None, "nm (binutils) is needed to read the module's dynamic symbols"
    listing = subprocess.run([nm, "-D", "--defined-only", sdk.__file__], check=True, capture_output=True,
                             text=True).stdout
    exported = [line.split()[-1] for line in listing.splitlines() if line.strip()]
    assert exported == ["PyInit_lumora_python_sdk"]
