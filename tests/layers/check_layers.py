#!/usr/bin/env python3
"""Reads the include graph of the sources and fails on a broken layering rule.

Each source folder has one row: the folders its files may include from. A file belongs to the row
of the longest folder that holds it (demux/psi/x.cpp to demux/psi, ui/win32/x.cpp to ui); an
included project header belongs to a folder the same way. A new folder is one new row; a source
folder without a row is itself an error, so no folder escapes the rules. Tests, benchmarks, fuzz
targets and the sample generator are not layers and are not read.

Usage: check_layers.py [source root]   (default: two folders above this script)
"""
import os
import re
import sys

# folder: folders its files may include from (itself always included).
LAYERS = {
    "common": [],
    "platform": ["common"],
    "ui": ["platform", "common"],
    "resources": ["ui", "common"],
    "ts": ["common"],
    "demux/arib": ["common"],
    "demux/dvb": ["common"],
    "demux/psi": ["demux/arib", "demux/dvb", "common"],
    "demux": ["demux/psi", "demux/arib", "ts", "platform", "common"],
    "mpeg2": ["ts", "common"],
    "core": ["demux", "demux/psi", "demux/arib", "mpeg2", "ts", "platform", "common"],
    "cm": ["plans", "mpeg2", "demux/psi", "demux/arib", "ts", "common"],
    "cutter": ["core", "mpeg2", "demux", "demux/psi", "demux/arib", "ts", "resources", "ui",
               "platform", "common"],
    "plans": ["core", "mpeg2", "demux", "demux/psi", "demux/arib", "ts", "common"],
    "serve": ["plans", "cm", "core", "mpeg2", "demux", "demux/psi", "demux/arib", "ts", "platform", "common"],
    "cli": ["serve", "plans", "cm", "core", "mpeg2", "demux", "demux/psi", "demux/arib", "ts", "platform", "common"],
}

# Folders read for nothing: they may include anything.
NOT_LAYERS = ["tests", "bench", "fuzz", "sample", "build", "cmake", "scripts", "docs", ".git", ".ci"]

# Only these may include <windows.h> (or another Win32 header); the Win32 layer of common/ is its
# files named after Win32 (raw_file_win32.cpp, win32_text.cpp).
WIN32_HEADERS = {"windows.h", "shellapi.h", "commctrl.h", "commdlg.h", "shlobj.h", "winuser.h"}
WIN32_ALLOWED = [re.compile(p) for p in (r"^platform/", r"^ui/win32/", r"^common/([^/]*_win32|win32_[^/]*)\.cpp$")]

# Operating-system conditionals are kept to the folders that hide the system: common's file and
# path layer, platform/ and the window framework's entry point. Every other row is application
# code, and a folder added later (serve, cm) is covered as soon as it has its row.
OS_CONDITIONALS_ALLOWED = ["common", "platform", "ui"]

SOURCE_SUFFIXES = (".h", ".hpp", ".cpp", ".cc", ".c")
INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]')
OS_MACROS = r"(_WIN32|_WIN64|WIN32|__MINGW32__|__MINGW64__|_MSC_VER|__CYGWIN__|__linux__|__unix__|__APPLE__)"
OS_CONDITIONAL = re.compile(r"^\s*#\s*(if|ifdef|ifndef|elif)\b.*\b" + OS_MACROS + r"\b")


def layer_of(path):
    """The row of a project path (folder/.../file), None when no row holds it."""
    best = None
    for folder in LAYERS:
        if path.startswith(folder + "/") and (best is None or len(folder) > len(best)):
            best = folder
    return best


def check(root):
    problems = []
    for dirpath, dirnames, filenames in os.walk(root):
        dirnames.sort()
        rel_dir = os.path.relpath(dirpath, root).replace(os.sep, "/")
        if rel_dir == ".":
            dirnames[:] = [d for d in dirnames if d not in NOT_LAYERS]
            continue
        for name in sorted(filenames):
            if not name.endswith(SOURCE_SUFFIXES):
                continue
            rel = rel_dir + "/" + name
            layer = layer_of(rel)
            if layer is None:
                problems.append(f"{rel}: the folder {rel_dir}/ has no row in the layer table of "
                                f"tests/layers/check_layers.py")
                continue
            allowed = set(LAYERS[layer]) | {layer}
            with open(os.path.join(dirpath, name), encoding="utf-8", errors="replace") as f:
                lines = f.readlines()
            for number, line in enumerate(lines, 1):
                where = f"{rel}:{number}"
                if layer not in OS_CONDITIONALS_ALLOWED and OS_CONDITIONAL.match(line):
                    problems.append(f"{where}: '{line.strip()}' breaks the rule: application code "
                                    f"({layer}/) holds no operating-system conditionals")
                m = INCLUDE.match(line)
                if not m:
                    continue
                quote, target = m.groups()
                if target.lower() in WIN32_HEADERS:
                    if not any(p.search(rel) for p in WIN32_ALLOWED):
                        problems.append(f"{where}: #include <{target}> breaks the rule: only "
                                        f"platform/, ui/win32/ and the Win32 files of common/ "
                                        f"include Win32 headers")
                    continue
                # Project headers are named from the source root; a name without a folder is the
                # including file's neighbour, a name starting with a dot is relative to it.
                if "/" not in target:
                    continue
                if target.startswith("."):
                    target = os.path.normpath(os.path.join(rel_dir, target)).replace(os.sep, "/")
                target_layer = layer_of(target)
                if target_layer is None:
                    if quote == '"':
                        problems.append(f'{where}: #include "{target}" breaks the rule: {layer}/ '
                                        f"includes only from {', '.join(sorted(allowed))}")
                    continue
                if target_layer not in allowed:
                    problems.append(f'{where}: #include "{target}" breaks the rule: {layer}/ may not '
                                    f"reach {target_layer}/ (allowed: {', '.join(sorted(allowed))})")
    return problems


def main():
    root = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..", "..")
    problems = check(os.path.abspath(root))
    for p in problems:
        print(p)
    if problems:
        print(f"{len(problems)} layering rule(s) broken")
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
