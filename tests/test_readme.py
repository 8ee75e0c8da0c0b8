"""The README says what the module does: its snippets run, its function table
and its document tables agree with the module."""
import json
import pathlib
import re
import subprocess
import sys

import pytest

import lumora_python_sdk as sdk

from conftest import document_kinds, raised_class

ROOT = pathlib.Path(__file__).resolve().parent.parent
README = (ROOT / "README.md").read_text()


def section(title: str) -> str:
    start = README.index(f"\n## {title}\n")
    end = README.find("\n## ", start + 1)
    return README[start:end if end != -1 else None]


def table_rows(text: str) -> list[list[str]]:
    """The body rows of the first Markdown table in text, cells stripped."""
    lines = text.splitlines()
    first = next(i for i, line in enumerate(lines) if line.startswith("|"))
    rows = []
    for line in lines[first:]:
        if not line.startswith("|"):
            break
        rows.append(line)
    return [[cell.strip() for cell in row.strip("|").split("|")] for row in rows[2:]]


def code_blocks(text: str, language: str) -> list[str]:
    return re.findall(rf"```{language}\n(.*?)```", text, re.S)


def test_python_snippets_run_in_order():
    # Later snippets use names from earlier ones, as a reader would run them.
    script = "\n".join(code_blocks(README, "python"))
    run = subprocess.run([sys.executable, "-c", script], capture_output=True, text=True, cwd=ROOT)
    assert run.returncode == 0, run.stdout + run.stderr
    # The output the failure snippet's comment shows.
    assert "rejected: Couldn't get hash: missing field `position_id` at line 1 column 14" in run.stdout


def test_package_description_snippets_run_in_order():
    # The page shown to those who install the package; its first snippet imports the module.
    page = (ROOT / "docs" / "package.md").read_text()
    script = "\n".join(code_blocks(page, "python"))
    run = subprocess.run([sys.executable, "-c", script], capture_output=True, text=True, cwd=ROOT)
    assert run.returncode == 0, run.stdout + run.stderr
    assert "rejected: Couldn't get hash: missing field `position_id` at line 1 column 14" in run.stdout


def test_standard_error_lines_carry_the_documented_prefix():
    prefix = "lumora_python_sdk: call aborted: "
    for page in (README, (ROOT / "docs" / "package.md").read_text()):
        assert f'"{prefix}"' in " ".join(page.split())
    # Both kinds of failure, one with causes (several lines, the prefix on the first only).
    script = (
        "import lumora_python_sdk as sdk\n"
        "for call in (lambda: sdk.sign('0x1', '0x12'), lambda: sdk.public_key_to_xy('z')):\n"
        "    try:\n"
        "        call()\n"
        "    except BaseException as error:\n"
        "        print(error.args[0], end='\\0')\n"
    )
    run = subprocess.run([sys.executable, "-c", script], capture_output=True, text=True, cwd=ROOT)
    messages = run.stdout.split("\0")[:-1]
    assert len(messages) == 2 and "\n" in messages[1], run.stdout
    assert run.stderr == "".join(prefix + message + "\n" for message in messages)


def test_failure_recipe_is_the_example_s():
    example = (ROOT / "examples" / "failures.py").read_text()
    recipe = example.split("# --- recipe: begin\n")[1].split("# --- recipe: end\n")[0]
    assert recipe.strip() in [block.strip() for block in code_blocks(section("Handling failures"), "python")]


def test_function_table_matches_the_module():
    rows = table_rows(section("Functions"))
    assert [row[0].strip("`") for row in rows] == sdk.__all__
    for name, arguments, _result, raises in rows:
        fn = getattr(sdk, name.strip("`"))
        assert "(" + arguments.strip("`") + ")" == fn.__text_signature__, name
        assert raises == f"`{raised_class(fn)}`", name


def test_failure_lists_match_the_module():
    text = section("Handling failures")
    for cls in ("ValueError", "PanicException"):
        item = re.search(rf"- `{cls}` from (.*?);?\n(?=- |\n)", text, re.S).group(1)
        named = set(re.findall(r"`(\w+)`", item))
        named |= {n for n in sdk.__all__ if "`sign_*`" in item and n.startswith("sign_")}
        named |= {n for n in sdk.__all__ if "`hash_*`" in item and n.startswith("hash_")}
        assert named == {n for n in sdk.__all__ if raised_class(getattr(sdk, n)) == cls}, cls


def document_tables() -> dict[str, dict]:
    """Each kind's table, by the stem of its functions: its title, the forms
    a document takes, and its rows (member, encoding). A kind's table is
    introduced by "Title (`hash_<stem>`, `sign_<stem>`; forms):"."""
    text = section("Transaction documents")
    tables = {}
    for intro in re.finditer(r"\n\n((?:[^\n|]|\n(?!\n))+?):\n\n\|", text):
        named = re.fullmatch(r"([A-Z][a-z ]+) \(`hash_(\w+)`, `sign_\2`; (.+)\)", " ".join(intro.group(1).split()))
        if named:
            title, stem, forms = named.groups()
            rows = [(m.strip("`"), enc) for m, enc in table_rows(text[intro.end() - 1:])]
            tables[stem] = {"title": title, "forms": forms, "rows": rows}
    return tables


def test_every_document_kind_has_its_table():
    assert sorted(document_tables()) == sorted(document_kinds())


def accepts(encoding: str, value) -> bool:
    """Whether a member of this encoding accepts the JSON value, as the encoding table says."""
    if encoding == "boolean":
        return isinstance(value, bool)
    if not isinstance(value, str):
        return False
    if encoding.startswith("decimal"):
        bits = {"decimal u64": 64, "decimal u32": 32, "decimal u128": 128}[encoding]
        return re.fullmatch(r"\+?[0-9]+", value) is not None and int(value) < 2**bits
    if encoding.startswith(("hex u256", "packed key")):
        digits = value.removeprefix("0x")
        return re.fullmatch(r"[0-9a-fA-F]{0,64}", digits) is not None
    if encoding == "hex i128":
        while value.startswith("0x"):
            value = value[2:]
        return re.fullmatch(r"[+-]?[0-9a-fA-F]+", value) is not None and -2**127 <= int(value, 16) < 2**127
    raise AssertionError(f"the README names an unknown encoding {encoding!r}")


def sample(encoding: str, tables):
    for table in tables.values():  # a member that is a document of another kind, "a limit order (…)"
        if encoding.startswith("a " + table["title"].lower() + " ("):
            return {member: sample(enc, tables) for member, enc in table["rows"]}
    return True if encoding == "boolean" else "0x1" if "hex" in encoding or "packed" in encoding else "1"


PROBES = ["+12", "ab", "0x0x1", "4294967296", "18446744073709551616", "f" * 64, "", "true", True, 5]


def test_documents_need_exactly_the_listed_members():
    tables = document_tables()
    for kind, table in tables.items():
        fn = getattr(sdk, f"hash_{kind}")
        document = {member: sample(enc, tables) for member, enc in table["rows"]}
        digest = fn(json.dumps(document))
        assert fn(json.dumps({**document, "unlisted": [1, {}]})) == digest, kind
        for member in document:
            partial = {m: v for m, v in document.items() if m != member}
            with pytest.raises(BaseException, match=f"missing field `{member}`"):
                fn(json.dumps(partial))
        if "JSON array" in table["forms"]:
            assert fn(json.dumps(list(document.values()))) == digest, kind


def test_members_accept_what_their_encoding_says():
    tables = document_tables()
    for kind, table in tables.items():
        fn = getattr(sdk, f"hash_{kind}")
        document = {member: sample(enc, tables) for member, enc in table["rows"]}
        for member, encoding in table["rows"]:
            if isinstance(document[member], dict):
                continue
            for value in PROBES:
                try:
                    fn(json.dumps({**document, member: value}))
                    accepted = True
                except BaseException as error:
                    if type(error).__name__ != "PanicException":
                        raise
                    accepted = False
                assert accepted == accepts(encoding, value), (kind, member, encoding, value)
