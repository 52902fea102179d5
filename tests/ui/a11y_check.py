#!/usr/bin/python3
# Reads a dialog of the host through the accessibility bus, as a screen reader does: every
# control must say what it is (its role) and what it is for (its name). Then picks a list
# item and presses a button through the accessibility interfaces alone.
#   a11y_check.py APPLICATION DIALOG-TITLE ITEM-TO-PICK|- BUTTON
# Prints one line per control ("control ROLE NAME"), "unnamed ROLE" for a control a screen
# reader could not name, then "picked ITEM" and "pressed BUTTON".
import sys
import time

import pyatspi

CONTROLS = {"push button", "toggle button", "check box", "radio button", "text", "password text", "combo box",
            "slider", "spin button", "table", "tree table", "list", "list box", "progress bar", "table cell",
            "list item", "menu item"}
app_name, title, item, button = sys.argv[1:5]


def find_dialog():
    for app in pyatspi.Registry.getDesktop(0):
        if app is None or app.name != app_name:
            continue
        for i in range(app.childCount):
            w = app.getChildAtIndex(i)
            if w is not None and w.getRoleName() == "dialog" and w.name == title:
                return w
    return None


def walk(node):
    yield node
    for i in range(node.childCount):
        child = node.getChildAtIndex(i)
        if child is not None:
            yield from walk(child)


dialog = None
for _ in range(600):
    dialog = find_dialog()
    if dialog is not None:
        break
    time.sleep(0.1)
if dialog is None:
    print("no dialog")
    sys.exit(0)
print(f"dialog {dialog.name}")

table = None
for node in walk(dialog):
    role = node.getRoleName()
    if role not in CONTROLS:
        continue
    name = node.name
    if not name:
        labels = [t for r in node.getRelationSet() if r.getRelationType() == pyatspi.RELATION_LABELLED_BY
                  for t in (r.getTarget(k) for k in range(r.getNTargets()))]
        name = " ".join(t.name for t in labels if t is not None)
    print(f"control {role} {name}" if name else f"unnamed {role}")
    if role in ("table", "tree table", "list", "list box") and table is None:
        table = node

# The item picked through the list's selection, the button pressed through its action.
if table is not None and item != "-":
    for i in range(table.childCount):
        child = table.getChildAtIndex(i)
        if child is not None and child.name == item:
            table.querySelection().selectChild(i)
            print(f"picked {item}")
            break
for node in walk(dialog):
    if node.getRoleName() == "push button" and node.name == button:
        action = node.queryAction()
        for k in range(action.nActions):
            if action.getName(k) == "click":
                action.doAction(k)
                print(f"pressed {button}")
        break
