"""Writes fuzzing seeds made from the known answers (tests/data/functions.json)
into OUT/documents and OUT/operations, so that the structure of valid
documents, keys and signatures is reachable from the first run.

documents:  every document argument of the hash and sign functions;
operations: every case's arguments joined by 0xff bytes, in the operations
            harness's argument order (the functions' own parameter order).

With --dictionary, writes instead the harness's dictionary: its own tokens
(fuzz/HARNESS.dict) and the member name of every document in the known
answers, quoted as it stands in JSON.

Usage: python3 fuzz/seed_corpus.py OUT
       python3 fuzz/seed_corpus.py --dictionary HARNESS OUT_FILE
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


def documents(functions):
    """Every document argument of the hash and sign functions."""
    for name, function in functions.items():
        if name.startswith(DOCUMENT_FUNCTIONS) and function["params"][0] == "json":
            for case in function["cases"]:
                yield case["args"][0]


def member_names(value, names):
    if isinstance(value, dict):
        names.update(value)
        values = value.values()
    else:
        values = value if isinstance(value, list) else []
    for v in values:
        member_names(v, names)
    return names


def dictionary_entry(token):
    """A libFuzzer dictionary entry: the bytes in quotes, with backslash, quote
    and every byte outside printable ASCII escaped."""
    escaped = "".join(chr(b) if 0x20 <= b < 0x7f and b not in b'"\\' else f"\\x{b:02x}" for b in token)
    return f'"{escaped}"'


def write_dictionary(harness, out):
    names = set()
    for document in documents(json.loads(FUNCTIONS.read_text())["functions"]):
        try:
            member_names(json.loads(document), names)
        except ValueError:  # the rejected documents among the cases
            continue
    tokens = [dictionary_entry(json.dumps(name, ensure_ascii=False).encode()) for name in sorted(names)]
    own = (ROOT / "fuzz" / f"{harness}.dict").read_text()
    out.write_text(own + "# The documents' member names, from the known answers.\n" + "\n".join(tokens) + "\n")


def main(out):
    functions = json.loads(FUNCTIONS.read_text())["functions"]
    for function in functions.values():
        for case in function["cases"]:
            args = [a.encode("utf-8", "surrogatepass") for a in case["args"]]
            write(out / "operations", b"\xff".join(args))
    for document in documents(functions):
        write(out / "documents", document.encode("utf-8", "surrogatepass"))


if __name__ == "__main__":
    if len(sys.argv) == 4 and sys.argv[1] == "--dictionary":
        write_dictionary(sys.argv[2], pathlib.Path(sys.argv[3]))
    elif len(sys.argv) == 2:
        main(pathlib.Path(sys.argv[1]))
    else:
        sys.exit(__doc__)
