#!/usr/bin/env python3
"""Checks the include rules of docs/architecture.md against the source tree.

The table under "## Include rules" names each layer, the files it holds (path prefixes) and the
layers it may include. A file belongs to the layer whose prefix is the longest that matches it.
Every quoted include must name a file of the same layer or of a layer the row allows. Above
platform/, a file includes only the language's own headers (no system headers), has no
operating-system conditionals and opens no file directly. No two modules include each other,
directly or through others.

Usage: layer_check.py SOURCE_ROOT   (exit status 1 and one line per fault when a rule is broken)
"""
import os
import re
import sys

STANDARD = set("""
algorithm any array atomic bit bitset cassert cctype cerrno cfloat charconv chrono cinttypes climits
clocale cmath compare concepts csetjmp csignal cstdarg cstddef cstdint cstdio cstdlib cstring ctime
cwchar cwctype deque exception functional initializer_list iterator limits list map memory new
numeric optional random ratio set span stdexcept string string_view system_error tuple type_traits
typeinfo unordered_map unordered_set utility variant vector
emmintrin.h xmmintrin.h
""".split())
OS_CONDITIONAL = re.compile(r"^\s*#\s*(if|ifdef|ifndef|elif)\b.*\b(_WIN32|_WIN64|__linux__|__APPLE__|__unix__)\b")
DIRECT_OPEN = re.compile(r"\b(std::)?(fopen|freopen|opendir)\s*\(|\bstd::(i|o)?fstream\b")
INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]')


def read_rules(doc):
    rows, inside = [], False
    for line in open(doc, encoding="utf-8"):
        if line.startswith("## "):
            inside = line.strip() == "## Include rules"
            continue
        if not inside or not line.startswith("|") or set(line.strip()) <= set("|-: "):
            continue
        cells = [c.strip() for c in line.strip().strip("|").split("|")]
        if len(cells) < 3 or cells[0] == "layer":
            continue
        prefixes = re.findall(r"`([^`]+)`", cells[1])
        allowed = {a.strip() for a in cells[2].split(",") if a.strip() and a.strip() != "nothing"}
        rows.append((cells[0], prefixes, allowed))
    return rows


def layer_of(path, rows):
    best, length = None, -1
    for name, prefixes, _ in rows:
        for p in prefixes:
            if path.startswith(p) and len(p) > length:
                best, length = name, len(p)
    return best


def module_of(path):
    """A module is a header with its sources; a private "_internal" header is part of its module."""
    stem = os.path.splitext(path)[0]
    return stem[: -len("_internal")] if stem.endswith("_internal") else stem


def cycles(graph):
    """One fault per include cycle between modules (a module is a header with its sources)."""
    found, state, stack = [], {}, []

    def visit(node):
        state[node] = 1
        stack.append(node)
        for nxt in sorted(graph.get(node, ())):
            if state.get(nxt) == 1:
                found.append("include cycle: " + " -> ".join(stack[stack.index(nxt):] + [nxt]))
            elif nxt not in state:
                visit(nxt)
        stack.pop()
        state[node] = 2

    for node in sorted(graph):
        if node not in state:
            visit(node)
    return found


def main():
    root = sys.argv[1]
    rows = read_rules(os.path.join(root, "docs", "architecture.md"))
    if not rows:
        print("layer_check: no include rules found in docs/architecture.md")
        return 1
    allowed = {name: deps for name, _, deps in rows}
    for deps in allowed.values():
        unknown = deps - allowed.keys()
        if unknown:
            print(f"layer_check: unknown layers named in docs/architecture.md: {sorted(unknown)}")
            return 1
    faults, checked, graph = [], 0, {}
    for top in sorted({p.split("/")[0] for _, prefixes, _ in rows for p in prefixes}):
        for dirpath, _, files in os.walk(os.path.join(root, top)):
            for f in sorted(files):
                if not f.endswith((".cpp", ".h")):
                    continue
                rel = os.path.relpath(os.path.join(dirpath, f), root).replace(os.sep, "/")
                layer = layer_of(rel, rows)
                if layer is None:
                    continue
                checked += 1
                above_platform = layer != "platform"
                for n, line in enumerate(open(os.path.join(root, rel), encoding="utf-8"), 1):
                    where = f"{rel}:{n}"
                    m = INCLUDE.match(line)
                    if m and m.group(1) == '"':
                        target = layer_of(m.group(2), rows)
                        if target and target != layer and target not in allowed[layer]:
                            faults.append(f"{where}: {layer} includes {m.group(2)} of {target}")
                        module, used = module_of(rel), module_of(m.group(2))
                        if target and used != module:
                            graph.setdefault(module, set()).add(used)
                    elif m and above_platform and m.group(2) not in STANDARD:
                        faults.append(f"{where}: system header <{m.group(2)}> above platform/")
                    if above_platform and OS_CONDITIONAL.search(line):
                        faults.append(f"{where}: operating-system conditional above platform/")
                    if above_platform and DIRECT_OPEN.search(line):
                        faults.append(f"{where}: opens a file directly; use the OS services")
    faults += cycles(graph)
    for fault in faults:
        print(fault)
    print(f"layer_check: {checked} files, {len(faults)} faults")
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
