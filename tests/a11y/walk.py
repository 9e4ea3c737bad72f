"""Walks each window of the program through AT-SPI, as a screen reader reads it, and drives it
with keys. Fails on a control without a name (or named by a symbol), two controls a reader
would announce alike, a display-only box offered as one to type in, a focus event for the grid
while another control has the focus, and a status message a reader is not told."""
import subprocess
import sys
import time

import pyatspi
from gi.repository import GLib

failures = []
focused = []       # (role, name) of every control said to take the focus
descriptions = []  # (name, description) of every description change


def pump(seconds):
    end = time.time() + seconds
    ctx = GLib.MainContext.default()
    while time.time() < end:
        while ctx.iteration(False):
            pass
        time.sleep(0.02)


def keys(*args):
    subprocess.run(["xdotool", *args], check=True)
    pump(0.6)


def app():
    for _ in range(60):
        desk = pyatspi.Registry.getDesktop(0)
        for i in range(desk.childCount):
            a = desk.getChildAtIndex(i)
            if a is not None and a.name == "vokabis" and a.childCount:
                return a
        pump(0.25)
    sys.exit("the program did not appear on the accessibility bus")


def window(title):
    for _ in range(40):
        a = app()
        for i in range(a.childCount):
            w = a.getChildAtIndex(i)
            if w is not None and w.name == title and w.getState().contains(pyatspi.STATE_SHOWING):
                return w
        pump(0.25)
    failures.append(f"no window {title!r}")
    return None


def nodes(n):
    yield n
    for i in range(n.childCount):
        c = n.getChildAtIndex(i)
        if c is not None:
            yield from nodes(c)


CONTROLS = {"push button", "text", "table", "combo box", "radio button", "check box", "page tab",
            "table row header", "status bar", "spin button", "list"}


def check(title):
    w = window(title)
    if w is None:
        return None
    seen = {}
    for n in nodes(w):
        role, name, state = n.getRoleName(), n.name or "", n.getState()
        if not state.contains(pyatspi.STATE_SHOWING):
            continue
        where = f"{title}: {role} {name!r}"
        focusable = state.contains(pyatspi.STATE_FOCUSABLE)
        if (role in CONTROLS or focusable) and not any(ch.isalpha() for ch in name):
            failures.append(f"{where} has no name a reader can say")
        if role == "text" and not (focusable and state.contains(pyatspi.STATE_EDITABLE)):
            failures.append(f"{where} is offered as a box to type in but is display-only")
        if role == "label" and focusable:
            failures.append(f"{where} is a label that takes the focus")
        if focusable and role in CONTROLS:
            if (role, name) in seen or name in seen.values():
                failures.append(f"{where}: two controls of the window have this name")
            seen[(role, name)] = name
    return w


def on_focus(event):
    if event.detail1:
        focused.append((event.source.getRoleName(), event.source.name))


def on_description(event):
    descriptions.append((event.source.name, event.source.description))


pyatspi.Registry.registerEventListener(on_focus, "object:state-changed:focused")
pyatspi.Registry.registerEventListener(on_description, "object:property-change:accessible-description")

main = check("Englesko-hrvatski i hrvatsko-engleski vokabis")
if main is not None:
    bars = [n for n in nodes(main) if n.getRoleName() == "status bar"]
    if [b.name for b in bars] != ["Traka stanja"]:
        failures.append(f"status bar named {[b.name for b in bars]}, not 'Traka stanja'")

    # Typing in a search box keeps the focus there: no cell of the grid is said to have it.
    keys("key", "ctrl+f")
    del focused[:]
    keys("type", "--delay", "80", "c")
    for role, name in focused:
        if role in ("table cell", "table", "row header"):
            failures.append(f"typing in the search box announced the grid's {role} {name!r}")

    # A hint reached with the keyboard is told to the reader as the status bar's message.
    keys("key", "shift+Tab")
    if ("Poruka", "Završi rad") not in descriptions:
        failures.append(f"the status message was not told; description changes: {descriptions}")

    keys("key", "ctrl+n")
    check("Izmjena i dodavanje riječi")
    keys("key", "Escape")
    keys("key", "ctrl+f")
    keys("key", "shift+Tab", "shift+Tab", "shift+Tab", "Return")  # Opcije
    settings = check("Vokabis")
    if settings is not None:
        keys("key", "Tab", "Tab", "Right")  # the Pisač page
        check("Vokabis")
        keys("key", "Tab", "Return")  # Izbor pisača
        check("Odabir pisača")
        keys("key", "Escape")
        keys("key", "shift+Tab", "Right")  # back on the tab strip, the Opcije page
        check("Vokabis")
    keys("key", "Escape")
    keys("key", "ctrl+p")
    check("Pregled za ispis")
    keys("key", "Escape")

for f in failures:
    print("FAIL:", f)
print("walked every window" if not failures else f"{len(failures)} failures")
sys.exit(1 if failures else 0)
