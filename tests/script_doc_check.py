#!/usr/bin/env python3
"""Keeps docs/script.md and setupkit lint honest: every section, key and text of the script that
the code reads (the calls getString, stringFormat, textOr, settingOr, cfgGetString, cfgGetValue,
cfgGetCommaList, runExternal, makeShortcut and the defaults of base/settings.cpp, in engine/,
setup/, base/, toolkit/, vrk/ and uninstaller/), and every macro setup replaces, must appear in
the reference with the same arguments and the same "required", and in lint's table
(tools/kit_lint_keys.cpp); lint's table may name nothing the code does not read.

Usage: script_doc_check.py SOURCE_ROOT
"""
import os
import re
import sys

DIRS = ("engine", "setup", "base", "toolkit", "vrk", "uninstaller")
TYPE = "type name"  # the doc's name for the section of an install type (a section the code names by a variable)


def sources(root):
    for top in DIRS:
        for dirpath, _, files in os.walk(os.path.join(root, top)):
            for f in sorted(files):
                if f.endswith(".cpp"):
                    path = os.path.join(dirpath, f)
                    yield os.path.relpath(path, root), open(path, encoding="utf-8").read()


def section_of(arg):
    arg = arg.strip()
    return arg[1:-1] if arg.startswith('"') else TYPE


def read_code(root):
    """(keys: {(section, key)}, strings: {key: (args or None, required)}, macros: set)."""
    keys, strings, macros = set(), {}, set()

    def text(key, args, required):
        old_args, old_required = strings.get(key, (args, False))
        if old_args != args:
            raise SystemExit(f"script_doc_check: {key} is read with arguments {old_args!r} and {args!r}")
        strings[key] = (args, old_required or required)

    for rel, src in sources(root):
        for m in re.finditer(r'\bgetString\(\s*"(\w+)"\s*\)', src):
            text(m.group(1), None, True)
        # A text chosen by a variable first: getString(key) after key = "ErrInitMem" and the like.
        if re.search(r'\bgetString\(\s*key\s*\)', src):
            for m in re.finditer(r'\bkey\s*=\s*"(\w+)"\s*;', src):
                text(m.group(1), None, True)
        for m in re.finditer(r'\bstringFormat\(\s*"(\w+)"\s*,\s*"([a-z]*)"', src):
            text(m.group(1), m.group(2), True)
        for m in re.finditer(r'\btextOr\(\s*"(\w+)"\s*,\s*"([a-z]*)"', src):
            text(m.group(1), m.group(2), False)
        for m in re.finditer(r'\b(?:cfgGetString|cfgGetValue|cfgGetCommaList)\(\s*&settings\s*,\s*("[^"]*"|[\w.>-]+)\s*,\s*"(\w+)"', src):
            section = section_of(m.group(1))
            if section == "Strings":
                text(m.group(2), None, False)
            else:
                keys.add((section, m.group(2)))
        for m in re.finditer(r'\bsettingOr\(\s*("[^"]*"|[\w.>-]+)\s*,\s*"(\w+)"\s*\)', src):
            keys.add((section_of(m.group(1)), m.group(2)))
        for m in re.finditer(r'\brunExternal\(\s*"(\w+)"', src):
            keys.add(("End", m.group(1)))
        for m in re.finditer(r'\bmakeShortcut\([^;]*?"(\w+)"\s*,\s*"(\w+)"\s*\)', src):
            keys.update({("Shortcuts", m.group(1)), ("Shortcuts", m.group(2))})
        if rel.replace(os.sep, "/") == "base/settings.cpp":
            for m in re.finditer(r'\{"([^"]+)", "(\w+)", "[^"]*"\}', src):
                keys.add((m.group(1), m.group(2)))
        if rel.replace(os.sep, "/") in ("setup/main.cpp", "base/pathutil.cpp"):
            macros.update(re.findall(r'"(%\w+%)"', src))
    return keys, strings, macros


def read_lint(root):
    src = open(os.path.join(root, "tools", "kit_lint_keys.cpp"), encoding="utf-8").read()
    keys = {}
    for m in re.finditer(r'\{"([^"]+)", "(\w+)", KitKind::\w+, (true|false)\}', src):
        keys[(TYPE if m.group(1) == "*" else m.group(1), m.group(2))] = m.group(3) == "true"
    strings = {}
    for m in re.finditer(r'\{"(\w+)", (nullptr|"([a-z]*)"), (true|false)\}', src):
        strings[m.group(1)] = (None if m.group(2) == "nullptr" else m.group(3), m.group(4) == "true")
    macros_block = re.search(r"kit_macros = \{([^}]*)\}", src)
    macros = set(re.findall(r'"(%\w+%)"', macros_block.group(1))) if macros_block else set()
    return keys, strings, macros


def read_doc(root):
    """({section: {key: row cells}}, macros mentioned as table rows)."""
    sections, current = {}, None
    for line in open(os.path.join(root, "docs", "script.md"), encoding="utf-8"):
        heading = re.match(r"#+ \[([^\]]+)\]", line)
        if heading:
            current = sections.setdefault(heading.group(1), {})
            continue
        if line.startswith("#"):
            current = None
        row = re.match(r"\| `([^`]+)` \|(.*)", line)
        if row and current is not None:
            current[row.group(1)] = [c.strip() for c in row.group(2).split("|")]
    doc = open(os.path.join(root, "docs", "script.md"), encoding="utf-8").read()
    macros = set(re.findall(r"^\| `(%\w+%)` \|", doc, re.M))
    return sections, macros


def main():
    root = sys.argv[1]
    code_keys, code_strings, code_macros = read_code(root)
    lint_keys, lint_strings, lint_macros = read_lint(root)
    doc, doc_macros = read_doc(root)
    faults = []
    for section, key in sorted(code_keys):
        if (section, key) not in lint_keys:
            faults.append(f"[{section}] {key}: read by the code, missing from tools/kit_lint_keys.cpp")
        row = doc.get(section, {}).get(key)
        if row is None:
            faults.append(f"[{section}] {key}: read by the code, missing from docs/script.md")
        elif len(row) < 3 or row[2] != ("yes" if lint_keys.get((section, key)) else "no"):
            faults.append(f"[{section}] {key}: docs/script.md says required '{row[2] if len(row) > 2 else ''}', lint's table differs")
    for section, key in sorted(set(lint_keys) - code_keys):
        faults.append(f"[{section}] {key}: in tools/kit_lint_keys.cpp, but the code never reads it")
    doc_strings = doc.get("Strings", {})
    for key, (args, required) in sorted(code_strings.items()):
        if lint_strings.get(key) != (args, required):
            faults.append(f"[Strings] {key}: the code reads it with {(args, required)}, tools/kit_lint_keys.cpp says {lint_strings.get(key)}")
        row = doc_strings.get(key)
        if row is None:
            faults.append(f"[Strings] {key}: read by the code, missing from docs/script.md")
            continue
        want = "text" if args is None else ("format, no arguments" if args == "" else f"`{args}`")
        if not row[0].startswith(want):
            faults.append(f"[Strings] {key}: docs/script.md gives the arguments '{row[0]}', the code passes {want}")
        if len(row) < 2 or row[1] != ("yes" if required else "no"):
            faults.append(f"[Strings] {key}: docs/script.md says required '{row[1] if len(row) > 1 else ''}', the code {'has no' if required else 'has a'} built-in text")
    for key in sorted(set(lint_strings) - set(code_strings)):
        faults.append(f"[Strings] {key}: in tools/kit_lint_keys.cpp, but the code never reads it")
    for m in sorted(code_macros ^ lint_macros):
        faults.append(f"macro {m}: the code and tools/kit_lint_keys.cpp disagree")
    for m in sorted(code_macros - doc_macros):
        faults.append(f"macro {m}: missing from docs/script.md")
    for f in faults:
        print(f)
    print(f"script_doc_check: {len(code_keys)} keys, {len(code_strings)} texts, {len(code_macros)} macros, {len(faults)} faults")
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
