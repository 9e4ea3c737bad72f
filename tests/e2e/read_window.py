"""Prints what a screen reader reads in the main window of the vokabis process PID:
the two search boxes, the counter and the first row, one "name: text" a line."""
import sys

import pyatspi

pid = int(sys.argv[1])
wanted = {"Engleski pojam", "Hrvatski pojam", "Broj zapisa"}


def walk(node, out, depth=0):
    if node is None or depth > 8:
        return
    role = node.getRoleName()
    if role == "text" and node.name in wanted:
        out.append(f"{node.name}: {node.queryText().getText(0, -1)}")
    if role == "label" and ": " in node.name and node.name.split(": ")[0] in wanted:  # a display box: "name: number"
        out.append(node.name)
    if role == "table cell" and len([line for line in out if line.startswith("red:")]) < 2:
        out.append(f"red: {node.name}")
    for i in range(node.childCount):
        walk(node.getChildAtIndex(i), out, depth + 1)


desktop = pyatspi.Registry.getDesktop(0)
for i in range(desktop.childCount):
    app = desktop.getChildAtIndex(i)
    if app is not None and app.get_process_id() == pid:
        lines = []
        walk(app, lines)
        print("\n".join(lines))
