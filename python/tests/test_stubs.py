"""The type stubs name what the package offers, so editors complete the real thing."""

import ast
import pathlib

import tamra


def stub_names():
    tree = ast.parse((pathlib.Path(tamra.__file__).with_suffix(".pyi")).read_text())
    top, members = set(), {}
    for node in tree.body:
        if isinstance(node, (ast.ClassDef, ast.FunctionDef)):
            top.add(node.name)
        if isinstance(node, ast.ClassDef):
            members[node.name] = {
                n.name if not isinstance(n, ast.AnnAssign) else n.target.id
                for n in node.body if isinstance(n, (ast.FunctionDef, ast.AnnAssign))}
    return top, members


def test_stubs_match_the_package():
    top, members = stub_names()
    assert set(tamra.__all__) <= top
    for name in ("Emulator", "Frame"):
        public = {n for n in dir(getattr(tamra, name)) if not n.startswith("_")}
        assert public == {n for n in members[name] if not n.startswith("_")}, name
