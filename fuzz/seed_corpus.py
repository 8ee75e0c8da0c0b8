"""Writes fuzzing seeds made from the known answers (tests/data/functions.json)
into OUT/documents and OUT/operations, so that the structure of valid
documents, keys and signatures is reachable from the first run.

documents:  every document argument of the hash and sign functions;
operations: every case's arguments joined by 0xff bytes, in the operations
            harness's argument order (the functions' own parameter order).

Usage: python3 fuzz/seed_corpus.py OUT
"""
import hashlib
import json
import pathlib
import sys

ROOT = pathlib.Path(__file__).resolve().parent.parent
FUNCTIONS = ROOT / "tests" / "data" / "functions.json"
DOCUMENT_FUNCTIONS = ("hash_", "sign_")  # sign_* except sign itself take (json, pri_key)


def write(directory, data):
    directory.mkdir(parents=True, exist_ok=True)
    (directory / hashlib.sha1(data).hexdigest()).write_bytes(data)


def main(out):
    functions = json.loads(FUNCTIONS.read_text())["functions"]
    for name, spec in functions.items():
        for case in spec["cases"]:
            args = [a.encode("utf-8", "surrogatepass") for a in case["args"]]
            write(out / "operations", b"\xff".join(args))
            if name.startswith(DOCUMENT_FUNCTIONS) and spec["params"][0] == "json":
                write(out / "documents", args[0])


if __name__ == "__main__":
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    main(pathlib.Path(sys.argv[1]))
