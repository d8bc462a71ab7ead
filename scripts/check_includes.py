#!/usr/bin/env python3
"""Holds every source folder to the include rules of the DEPS table at the root of the tree.

Each rule names a folder and the folders whose headers its files may include besides its own; a folder with
an include/ subfolder offers only that to others. A project header included from anywhere else fails the
check, as do a source folder without a rule and rules that form a cycle. System and third-party headers are
not the check's business.

    scripts/check_includes.py [--root TREE]
"""

import argparse
import pathlib
import re
import sys

SOURCE_SUFFIXES = {".h", ".hpp", ".cpp", ".c"}
INCLUDE = re.compile(r'^\s*#\s*include\s*[<"]([^">]+)[">]')


def read_rules(root):
    """The DEPS table: folder -> list of folders it may include, in file order."""
    rules = {}
    for number, line in enumerate((root / "DEPS").read_text().splitlines(), 1):
        line = line.split("#", 1)[0].strip()
        if not line:
            continue
        folder, sep, allowed = line.partition(":")
        if not sep:
            raise SystemExit(f"DEPS:{number}: expected 'folder: allowed folders...'")
        rules[folder.strip()] = allowed.split()
    for folder, allowed in rules.items():
        for other in allowed:
            if other not in rules:
                raise SystemExit(f"DEPS: {folder} names {other}, which has no rule of its own")
    return rules


def cycle(rules):
    """One cycle of the rules as a list of folders, or None."""
    state = {}

    def visit(folder, path):
        state[folder] = "open"
        for other in rules[folder]:
            if state.get(other) == "open":
                return path[path.index(other):] + [other]
            if other not in state:
                found = visit(other, path + [other])
                if found:
                    return found
        state[folder] = "done"
        return None

    for folder in rules:
        if folder not in state:
            found = visit(folder, [folder])
            if found:
                return found
    return None


def public_roots(root, folder):
    include = root / folder / "include"
    return [include] if include.is_dir() else [root / folder]


def own_roots(root, folder):
    base = root / folder
    return [base / "include", base / "src", base]


def owner(rules, relative):
    """The ruled folder that holds a file: the longest matching folder prefix."""
    parts = relative.parts
    for length in range(len(parts) - 1, 0, -1):
        folder = "/".join(parts[:length])
        if folder in rules:
            return folder
    return None


def resolves(roots, name):
    return any((base / name).is_file() for base in roots)


def check(root):
    rules = read_rules(root)
    problems = []
    loop = cycle(rules)
    if loop:
        problems.append("DEPS: the rules form a cycle: " + " -> ".join(loop))

    tops = {folder.split("/")[0] for folder in rules}
    for top in sorted(tops):
        for path in sorted((root / top).rglob("*")):
            if path.suffix not in SOURCE_SUFFIXES or not path.is_file():
                continue
            relative = path.relative_to(root)
            folder = owner(rules, relative)
            if folder is None:
                problems.append(f"{relative}: its folder has no rule in DEPS")
                continue
            mine = [path.parent] + own_roots(root, folder)
            allowed = [base for other in rules[folder] for base in public_roots(root, other)]
            for number, line in enumerate(path.read_text(errors="replace").splitlines(), 1):
                match = INCLUDE.match(line)
                if not match:
                    continue
                name = match.group(1)
                if resolves(mine, name) or resolves(allowed, name):
                    continue
                holders = [other for other in rules if other != folder and resolves(own_roots(root, other), name)]
                if holders:
                    problems.append(f'{relative}:{number}: includes "{name}" of {holders[0]}, '
                                    f"which {folder} may not include (DEPS)")
    return problems


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--root", type=pathlib.Path, default=pathlib.Path(__file__).resolve().parent.parent)
    root = parser.parse_args().root.resolve()
    problems = check(root)
    for problem in problems:
        print(problem)
    if problems:
        print(f"{len(problems)} include rule violation(s)", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
