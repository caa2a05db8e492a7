"""Fails on an include across the layers of the program's folders, naming the file and the include.

From the bottom: platform; the core folders, which may include one another but never in a
circle; platform/ui, which every window stands in; the subsystems' windows, which never
include one another; app/ui, which composes them. A folder includes its own files and those
of the layers below it. Usage: check_includes.py <source root>"""
import re
import sys
from pathlib import Path

LAYER = {"platform": 0, "app": 1, "lists": 1, "mailing": 1, "tools": 1, "platform/ui": 2,
         "lists/ui": 3, "mailing/ui": 3, "tools/ui": 3, "app/ui": 4}

root = Path(sys.argv[1])
faults = []
core = {}  # (folder, included folder) -> the first file that includes across
for folder, layer in LAYER.items():
    below = ", ".join(f for f, l in LAYER.items() if l < layer) or "its own files"
    below += " and the core folders that do not include it" if layer == 1 else ""
    for path in sorted(p for p in (root / folder).glob("*.*") if p.suffix in (".h", ".cpp")):
        name = f"{folder}/{path.name}"
        for include, to in re.findall(r'^#include "(([a-z]+(?:/[a-z]+)*)/\w+\.h)"', path.read_text(), re.M):
            if to == folder or to not in LAYER:
                continue
            if LAYER[to] == layer == 1:
                core.setdefault((folder, to), f"{name} includes {include}")
            elif LAYER[to] >= layer:
                faults.append(f"{name} includes {include}: {folder} may include only {below}")


def reaches(start, goal, seen=()):
    return start == goal or any(reaches(b, goal, seen + (a,)) for a, b in core if a == start and b not in seen)


faults += [f"{where}, and {b} leads back to {a}: a circle" for (a, b), where in core.items() if reaches(b, a)]
print("\n".join(faults) or "no include crosses the layers")
sys.exit(1 if faults else 0)
