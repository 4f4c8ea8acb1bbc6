#!/usr/bin/env python3
"""Fails when the documentation says something the build contradicts:

- the README's MATLAB `mex` recipe compiles other folders than the layers CMake builds into the
  library, or leaves out a file of src/gateway or src/frontend that a MEX function is built from;
- the README's list of installed headers differs from include/zormix/;
- a statement of the path accounting (regular + ... = paths) leaves out one of the five classes;
- pyproject.toml names another license than LICENSE;
- an option that `zormix --help` prints is missing from docs/cli.md (when the program is given).

Usage: check_docs.py SOURCE_DIR [ZORMIX_PROGRAM]
"""
import pathlib
import re
import subprocess
import sys

INCLUDE = re.compile(r'^\s*#\s*include\s*"([^"]+)"', re.MULTILINE)


def matlab_recipe(readme):
    """The folders of the recipe's loop, and the files of each mex(...) call by output name."""
    block = re.search(r"```matlab\n(core = \{\};.*?)```", readme, re.DOTALL)
    if not block:
        return None, None
    text = block.group(1)
    folders = re.findall(r"'([a-z]+)'", re.search(r"for d = \{([^}]*)\}", text).group(1))
    support = re.findall(r"'(src/[^']+\.cc)'", re.search(r"support = \{([^}]*)\}", text).group(1))
    calls = {}
    for call in re.findall(r"mex\((.*?)\)\n", text.replace("...\n", " "), re.DOTALL):
        output = re.search(r"'-output', '([^']+)'", call).group(1)
        files = re.findall(r"'(src/[^']+\.cc)'", call)
        if "support{:}" in call:
            files += support
        calls[output] = set(files)
    return folders, calls


def gateway_sources(root):
    """Per MEX file name, the sources CMake builds it from (the shared support objects included)."""
    text = (root / "src/gateway/CMakeLists.txt").read_text(encoding="utf-8")
    support = re.search(r"add_library\(zormix_mex_support OBJECT ([^)]*)\)", text).group(1).split()
    modules = {}
    for target_args in re.findall(r"^zormix_mex_module\(([^)]*)\)", text, re.MULTILINE):
        words = target_args.split()
        modules[words[1]] = {f"src/gateway/{w}" for w in words[2:] + support}
    return modules


def frontend_files_needed(root, sources):
    """The src/frontend/*.cc files whose headers the sources include, directly or through other
    front-end files."""
    needed, todo = set(), list(sources)
    while todo:
        path = root / todo.pop()
        for header in INCLUDE.findall(path.read_text(encoding="utf-8")):
            if not header.startswith("frontend/"):
                continue
            source = "src/" + header[:-2] + ".cc"
            if (root / source).exists() and source not in needed:
                needed.add(source)
                todo.append(source)
    return needed


def check_recipe(root, readme):
    found = []
    folders, calls = matlab_recipe(readme)
    if folders is None:
        return ["README.md: the MATLAB mex recipe (```matlab block starting 'core = {};') is missing"]
    install = (root / "cmake/install.cmake").read_text(encoding="utf-8")
    layers = re.search(r"set\(ZORMIX_LAYERS ([^)]*)\)", install).group(1).split()
    if sorted(folders) != sorted(layers):
        found.append(f"README.md: the mex recipe compiles the folders {sorted(folders)}, but the "
                     f"library's layers are {sorted(layers)} (cmake/install.cmake)")
    for output, sources in gateway_sources(root).items():
        listed = calls.get(output)
        if listed is None:
            found.append(f"README.md: the mex recipe does not build {output}")
            continue
        gateway = {f for f in listed if f.startswith("src/gateway/")}
        if gateway != sources:
            found.append(f"README.md: the mex recipe builds {output} from {sorted(gateway)}, "
                         f"CMake from {sorted(sources)}")
        for missing in sorted(frontend_files_needed(root, sources) - listed):
            found.append(f"README.md: the mex recipe for {output} leaves out {missing}")
    return found


def check_headers(root, readme):
    row = re.search(r"^\| `include/zormix/\*\.h` \|(.*)$", readme, re.MULTILINE)
    if not row:
        return ["README.md: the row of the installed headers (`include/zormix/*.h`) is missing"]
    listed = set(re.findall(r"`([a-z_]+\.h)`", row.group(1)))
    present = {p.name for p in (root / "include/zormix").glob("*.h")}
    found = []
    if listed != present:
        if present - listed:
            found.append(f"README.md: installed headers not listed: {sorted(present - listed)}")
        if listed - present:
            found.append(f"README.md: listed headers that do not exist: {sorted(listed - present)}")
    return found


# A statement of the accounting: from a word for the regular roots to "= <the paths>".
ACCOUNTING = re.compile(
    r"regular(?:_count)?\s*\+[^=]{0,300}?=\s*(?:npaths|path_count|pathCount|paths)\b",
    re.IGNORECASE)
CLASSES = {"singular": r"singular", "positive-dimensional": r"positive[ _-]?dimensional",
           "at infinity": r"(?:at[ _-]?infinity|atInfinity)", "failed": r"failed"}


def check_accounting(root):
    found = []
    for name in ["README.md", "docs/cli.md", "docs/python.md", "docs/result.schema.json",
                 "docs/verdicts.md", "matlab/zormix_solve.m", "include/zormix/result.h"]:
        path = root / name
        if not path.exists():
            continue
        text = path.read_text(encoding="utf-8")
        for match in ACCOUNTING.finditer(text):
            statement = re.sub(r"\s+", " ", match.group(0))
            missing = [c for c, pattern in CLASSES.items()
                       if not re.search(pattern, statement, re.IGNORECASE)]
            if missing:
                line = text.count("\n", 0, match.start()) + 1
                found.append(f"{name}:{line}: the accounting '{statement}' leaves out "
                             f"{', '.join(missing)}")
    return found


def check_license(root):
    """pyproject.toml names the license of LICENSE ("BSD 3-Clause License" -> "BSD-3-Clause")."""
    first = (root / "LICENSE").read_text(encoding="utf-8").splitlines()[0]
    expected = first.replace(" License", "").replace(" ", "-")
    stated = re.search(r'^license = \{ text = "([^"]*)" \}', (root / "pyproject.toml").read_text(
        encoding="utf-8"), re.MULTILINE)
    if not stated or stated.group(1) != expected:
        return [f"pyproject.toml: the license is {stated.group(1) if stated else 'not stated'}, "
                f"LICENSE says {expected}"]
    return []


def check_options(root, program):
    help_text = subprocess.run([program, "--help"], capture_output=True, text=True).stdout
    options = sorted(set(re.findall(r"(?<![\w-])(--[a-z][a-z-]*)", help_text)))
    if not options:
        return [f"{program} --help printed no options"]
    cli = (root / "docs/cli.md").read_text(encoding="utf-8")
    return [f"docs/cli.md: option {option} of zormix --help is not documented"
            for option in options if not re.search(re.escape(option) + r"(?![\w-])", cli)]


def main():
    root = pathlib.Path(sys.argv[1])
    readme = (root / "README.md").read_text(encoding="utf-8")
    found = (check_recipe(root, readme) + check_headers(root, readme) + check_accounting(root)
             + check_license(root))
    if len(sys.argv) > 2:
        found += check_options(root, sys.argv[2])
    for line in found:
        print(line)
    return 1 if found else 0


if __name__ == "__main__":
    sys.exit(main())
