#!/usr/bin/env python3
"""Fails when a source file includes a header of a layer above its own, when the CMake
dependencies of a layer differ from the layers its files include, or when a file of the library
(every layer below the MPI job and the front ends) writes to the standard streams: the solver is
silent, and only what runs a job or a command prints.

The layers, bottom to top, are the folders of src/ in LAYERS. A file of layer L may include
headers of L and of the layers below it, and the public headers of include/zormix/ that PUBLIC
allows at L's rank. The libraries of the layers (zormix_layer(L DEPS ...) in CMakeLists.txt)
declare exactly the layers their files include; a front end (cli, gateway, python/) reaches every
layer it includes through the libraries it links. Usage: check_layers.py SOURCE_DIR
"""
import pathlib
import re
import sys

LAYERS = ["base", "model", "local", "io", "mixedcell", "startsys", "tracker", "finish", "solve",
          "decompose", "cluster", "frontend", "cli", "gateway"]
# Front ends sit side by side at the top: neither may include the other.
FRONT_ENDS = {"cli", "gateway"}
# Lowest layer allowed to include each public header; the rest are allowed everywhere.
PUBLIC = {"io.h": "io", "result.h": "finish", "solve.h": "solve", "stages.h": "solve",
          "sweep.h": "solve", "monodromy.h": "decompose",
          "decompose.h": "decompose"}
# Public headers whose functions the model layer defines: including one depends on it.
DEFINED_IN = {"parametric.h": ["model"], "poly_system.h": ["model"]}
INCLUDE = re.compile(r'^\s*#\s*include\s*"([^"]+)"', re.MULTILINE)


def rank(layer):
    return LAYERS.index(layer)


def violations(root):
    found = []
    for path in sorted((root / "src").rglob("*")):
        if path.suffix not in (".h", ".cc"):
            continue
        layer = path.relative_to(root / "src").parts[0]
        if layer not in LAYERS:
            found.append(f"{path.relative_to(root)}: folder src/{layer} is not a known layer")
            continue
        for header in INCLUDE.findall(path.read_text(encoding="utf-8")):
            target = header.split("/")[0]
            if target == "zormix":
                lowest = PUBLIC.get(header.split("/", 1)[1], "base")
                ok = rank(layer) >= rank(lowest)
            elif target in LAYERS:
                ok = rank(target) <= rank(layer) and not (
                    target in FRONT_ENDS and target != layer)
            else:
                ok = True  # a header of the host or of a library
            if not ok:
                found.append(f"{path.relative_to(root)}: layer {layer} includes \"{header}\"")
    return found


def undocumented(root):
    """Layers missing from the table of docs/architecture.md, or folders of src/ not in LAYERS."""
    doc = (root / "docs" / "architecture.md").read_text(encoding="utf-8")
    documented = re.findall(r"^\| `([a-z]+)`(?:, `([a-z]+)`)? \|", doc, re.MULTILINE)
    names = {name for row in documented for name in row if name}
    found = [f"docs/architecture.md: layer {layer} is not described" for layer in LAYERS
             if layer not in names]
    for folder in sorted(p.name for p in (root / "src").iterdir() if p.is_dir()):
        if folder not in LAYERS:
            found.append(f"src/{folder}: not a layer of scripts/check_layers.py")
    return found


def included_layers(folder):
    """The layers (other than the folder's own) whose headers the files under `folder` include."""
    own = folder.name
    own_rank = rank(own) if own in LAYERS else len(LAYERS)
    layers = set()
    for path in folder.rglob("*"):
        if path.suffix not in (".h", ".cc"):
            continue
        for header in INCLUDE.findall(path.read_text(encoding="utf-8")):
            target = header.split("/")[0]
            if target == "zormix":  # a public header is defined by the layer that introduces it
                name = header.split("/", 1)[1]
                layers.update(d for d in DEFINED_IN.get(name, ())
                              if d in LAYERS and rank(d) < own_rank)
                target = PUBLIC.get(name, "")
            if target in LAYERS and target != own:
                layers.add(target)
    return layers


# Writing to a standard stream; a comment or a string that names one is not a call.
PRINTING = re.compile(r"\b(?:std::(?:cout|cerr|clog)\b|(?:std::)?(?:printf|puts|perror)\s*\(|"
                      r"(?:std::)?fprintf\s*\(\s*(?:stderr|stdout)|(?:std::)?fputs\s*\([^;]*"
                      r"(?:stderr|stdout)\s*\))")
# The solver's layers; from cluster up, the layers run a job or a command and may report on it.
SILENT = [layer for layer in LAYERS if rank(layer) < rank("cluster")]


def printing(root):
    """Library files that write to stdout or stderr."""
    found = []
    for layer in SILENT:
        for path in sorted((root / "src" / layer).rglob("*")):
            if path.suffix not in (".h", ".cc"):
                continue
            for number, line in enumerate(path.read_text(encoding="utf-8").splitlines(), 1):
                code = line.split("//", 1)[0]
                if PRINTING.search(code):
                    found.append(f"{path.relative_to(root)}:{number}: the library prints "
                                 f"({code.strip()})")
    return found


LAYER_CALL = re.compile(r"zormix_layer\(\s*([a-z]+)((?:\s+[^)]*)?)\)", re.MULTILINE)
LINK_CALL = re.compile(r"target_link_libraries\(\s*([A-Za-z_${}]+)([^)]*)\)", re.MULTILINE)


def declared_dependencies(root):
    """{layer: set of layers} from the zormix_layer(... DEPS ...) calls of CMakeLists.txt."""
    text = (root / "CMakeLists.txt").read_text(encoding="utf-8")
    declared = {}
    for name, rest in LAYER_CALL.findall(text):
        words = rest.split()
        deps = words[words.index("DEPS") + 1:] if "DEPS" in words else []
        declared[name] = {d[len("zormix_"):] for d in deps if d.startswith("zormix_")}
    return declared


def reachable(start, declared):
    seen, todo = set(), list(start)
    while todo:
        layer = todo.pop()
        if layer in seen:
            continue
        seen.add(layer)
        todo.extend(declared.get(layer, ()))
    return seen


def linked_layers(cmake_file):
    """The layers a front end's CMakeLists.txt links (zormix_core is the solve layer)."""
    linked = set()
    for _, rest in LINK_CALL.findall(cmake_file.read_text(encoding="utf-8")):
        for word in rest.split():
            if word == "zormix_core":
                linked.add("solve")
            elif word.startswith("zormix_") and word[len("zormix_"):] in LAYERS:
                linked.add(word[len("zormix_"):])
    return linked


def dependency_mismatches(root):
    declared = declared_dependencies(root)
    found = []
    for layer, deps in sorted(declared.items()):
        included = included_layers(root / "src" / layer)
        for missing in sorted(included - deps):
            found.append(f"CMakeLists.txt: layer {layer} includes {missing} but does not link it")
        for extra in sorted(deps - included):
            found.append(f"CMakeLists.txt: layer {layer} links {extra} but includes none of it")
    front_ends = {"cli": root / "src" / "cli", "gateway": root / "src" / "gateway",
                  "python": root / "python"}
    for name, folder in front_ends.items():
        cmake_file = folder / "CMakeLists.txt"
        if not cmake_file.exists():
            continue
        reach = reachable(linked_layers(cmake_file), declared)
        for missing in sorted(included_layers(folder) - reach - {"cli", "gateway", "cluster"}):
            found.append(f"{cmake_file.relative_to(root)}: {name} includes {missing} but does "
                         f"not link it")
    return found


def main():
    root = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else ".").resolve()
    found = (violations(root) + undocumented(root) + dependency_mismatches(root) +
             printing(root))
    for line in found:
        print(line)
    print(f"layering: {len(found)} problem(s)")
    return 1 if found else 0


if __name__ == "__main__":
    sys.exit(main())
