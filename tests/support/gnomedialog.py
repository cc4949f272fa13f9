#!/usr/bin/python3
# The user at GNOME's screen sharing dialog (xdg-desktop-portal-gnome's GTK 4
# window), reached through the accessibility bus:
#
#   gnomedialog.py share monitor        pick the first monitor, press Share
#   gnomedialog.py share window TITLE   pick the window of that title, press Share
#   gnomedialog.py shown | gone         wait until the dialog is shown, or gone
#
# Waits up to 60 s for what it needs; exits 1 with the reason otherwise.
import sys
import time

import pyatspi

DIALOG = "Screen Share"


def children(node):
    try:
        return [child for child in node if child is not None]
    except Exception:
        return []


def find_all(node, wanted, depth=0):
    found = []
    try:
        if wanted(node):
            found.append(node)
    except Exception:
        return found
    if depth < 25:
        for child in children(node):
            found += find_all(child, wanted, depth + 1)
    return found


def dialog():
    desktop = pyatspi.Registry.getDesktop(0)
    for application in children(desktop):
        for frame in children(application):
            try:
                if frame.getRoleName() == "frame" and frame.name == DIALOG \
                        and frame.getState().contains(pyatspi.STATE_SHOWING):
                    return frame
            except Exception:
                continue
    return None


def wait_for(condition, what):
    deadline = time.monotonic() + 60
    while time.monotonic() < deadline:
        value = condition()
        if value:
            return value
        time.sleep(0.2)
    sys.exit("gnomedialog: no %s within 60 s" % what)


def texts(node):
    return [label.name for label in find_all(node, lambda n: n.getRoleName() == "label")]


def share(kind, title):
    frame = wait_for(dialog, "dialog")

    def row():
        for item in find_all(frame, lambda n: n.getRoleName() == "list item"):
            if kind == "monitor" or any(title in text for text in texts(item)):
                return item
        return None

    item = wait_for(row, "%s row" % (kind if kind == "monitor" else "window '%s'" % title))
    parent = item.parent
    index = children(parent).index(item)
    if not parent.querySelection().selectChild(index):
        sys.exit("gnomedialog: the row cannot be selected")

    def share_button():
        for button in find_all(frame, lambda n: n.getRoleName() == "push button"):
            if "Share" in button.name and button.getState().contains(pyatspi.STATE_SENSITIVE):
                return button
        return None

    button = wait_for(share_button, "Share button that can be pressed")
    button.queryAction().doAction(0)
    wait_for(lambda: dialog() is None, "closing of the dialog")


def main():
    if len(sys.argv) >= 3 and sys.argv[1] == "share" and sys.argv[2] in ("monitor", "window"):
        share(sys.argv[2], sys.argv[3] if len(sys.argv) > 3 else "")
    elif len(sys.argv) == 2 and sys.argv[1] == "shown":
        wait_for(dialog, "dialog")
    elif len(sys.argv) == 2 and sys.argv[1] == "gone":
        wait_for(lambda: dialog() is None, "closing of the dialog")
    else:
        sys.exit(__doc__ if __doc__ else "usage: gnomedialog.py share monitor|window TITLE | shown | gone")


main()
