#!/usr/bin/env python3
"""Fails when a source file includes a header of a layer above its own.

The layers, bottom to top, are the folders of src/ in LAYERS. A file of layer L may include
headers of L and of the layers below it, and the public headers of include/zormix/ that PUBLIC
allows at L's rank. Usage: check_layers.py SOURCE_DIR
"""
import pathlib
import re
import sys

LAYERS = ["base", "model", "io", "mixedcell", "startsys", "tracker", "finish", "solve",
          "decompose", "cluster", "cli", "gateway"]
# Front ends sit side by side at the top: neither may include the other.
FRONT_ENDS = {"cli", "gateway"}
# Lowest layer allowed to include each public header; the rest are allowed everywhere.
PUBLIC = {"io.h": "io", "result.h": "finish", "solve.h": "solve", "stages.h": "solve",
          "sweep.h": "solve", "decompose.h": "decompose"}
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


def main():
    root = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else ".").resolve()
    found = violations(root) + undocumented(root)
    for line in found:
        print(line)
    print(f"layering: {len(found)} problem(s)")
    return 1 if found else 0


if __name__ == "__main__":
    sys.exit(main())
