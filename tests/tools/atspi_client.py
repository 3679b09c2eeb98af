#!/usr/bin/python3
"""A screen reader's view of the program, for the end-to-end tests: an AT-SPI
client (pyatspi) on the accessibility bus of the session bus in
DBUS_SESSION_BUS_ADDRESS, which finds the application by its name and walks
its tree as a reader's object navigation does.

  atspi_client.py tree TITLE BUTTON
      The application "vellumtone" holds a frame named TITLE; in it are two
      level bars, "Left channel" and "Right channel", whose range is -60 to
      0, and a push button named BUTTON with the action "click". Prints the
      frame's and their extents on the screen, a line each: "x y width
      height name".
  atspi_client.py levels LEFT RIGHT SECONDS
      Within SECONDS both meters' values come within 0.5 dB of LEFT and
      RIGHT, each with the text the level readout writes for it ("-6.0 dB").
  atspi_client.py follow LEFT RIGHT SECONDS
      The same, and each meter has told its change with at least one value
      change event on the way (start it before the change).
  atspi_client.py click BUTTON
      Does the button's "click" action.
  atspi_client.py announce PREFIX SECONDS
      Within SECONDS the application announces a text that starts with
      PREFIX (start it before the announcement); prints the text.

Exits 0 when what it checks holds, 1 (saying why on stderr) when not."""
import sys

import gi

gi.require_version("Atspi", "2.0")
from gi.repository import Atspi, GLib  # noqa: E402

import pyatspi  # noqa: E402

APPLICATION = "vellumtone"
METERS = ("Left channel", "Right channel")
TOLERANCE_DB = 0.5
FIND_SECONDS = 10


def fail(message):
    print("atspi_client: " + message, file=sys.stderr)
    sys.exit(1)


def wait_until(seconds, find):
    """Runs the main loop (for the events) until find() gives something."""
    loop = GLib.MainLoop()
    found = []

    def look():
        result = find()
        if result is not None:
            found.append(result)
            loop.quit()
            return False
        return True

    GLib.timeout_add(100, look)
    GLib.timeout_add(int(seconds * 1000), loop.quit)
    if not look():
        return found[0]
    loop.run()
    return found[0] if found else None


def application():
    def find():
        desktop = pyatspi.Registry.getDesktop(0)
        for index in range(desktop.childCount):
            child = desktop.getChildAtIndex(index)
            if child is not None and child.name == APPLICATION:
                return child
        return None

    found = wait_until(FIND_SECONDS, find)
    if found is None:
        fail("no application named %r on the accessibility bus" % APPLICATION)
    return found


def children(node):
    return [node.getChildAtIndex(index) for index in range(node.childCount)]


def parts(title=None):
    """The frame and its level bars and push buttons, by name; the program
    may register before its window shows."""
    app = application()

    def find():
        frames = [c for c in children(app) if c.getRole() == pyatspi.ROLE_FRAME]
        if title is not None:
            frames = [f for f in frames if f.name == title]
        return frames[0] if len(frames) == 1 else None

    frame = wait_until(FIND_SECONDS, find)
    if frame is None:
        fail("expected one frame%s, found %r" % (
            "" if title is None else " named %r" % title, [c.name for c in children(app)]))
    found = {}
    for child in children(frame):
        found[(child.getRoleName(), child.name)] = child
    return found


def level(node):
    return node.queryValue().currentValue, Atspi.Value.get_text(node)


def extents(node):
    box = node.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    return "%d %d %d %d %s" % (box.x, box.y, box.width, box.height, node.name)


def check_tree(title, button):
    found = parts(title)
    for name in METERS:
        meter = found.get(("level bar", name))
        if meter is None:
            fail("no level bar named %r among %r" % (name, sorted(found)))
        value = meter.queryValue()
        if (value.minimumValue, value.maximumValue) != (-60.0, 0.0):
            fail("%s: range %r to %r" % (name, value.minimumValue, value.maximumValue))
    push = found.get(("push button", button))
    if push is None:
        fail("no push button named %r among %r" % (button, sorted(found)))
    action = push.queryAction()
    names = [action.getName(index) for index in range(action.nActions)]
    if names != ["click"]:
        fail("the button's actions are %r" % names)
    print(extents(push.parent))
    for name in METERS:
        print(extents(found[("level bar", name)]))
    print(extents(push))


def readout_text(value):
    return "%.1f dB" % value


def check_levels(left, right, seconds, events):
    found = parts()
    meters = [found.get(("level bar", name)) for name in METERS]
    if None in meters:
        fail("no level bars named %r" % (METERS,))
    changes = {name: 0 for name in METERS}

    def changed(event):
        if event.source is not None and event.source.name in changes:
            changes[event.source.name] += 1

    pyatspi.Registry.registerEventListener(changed, "object:property-change:accessible-value")
    wanted = (left, right)
    seen = []

    def reached():
        seen[:] = [level(meter) for meter in meters]
        for (value, text), target, name in zip(seen, wanted, METERS):
            if abs(value - target) > TOLERANCE_DB or text != readout_text(value):
                return None
            if events and changes[name] == 0:
                return None
        return True

    ok = wait_until(seconds, reached)
    pyatspi.Registry.deregisterEventListener(changed, "object:property-change:accessible-value")
    if ok is None:
        fail("after %s s the meters read %r (wanted %r and %r within %s dB), "
             "value change events %r" % (seconds, seen, left, right, TOLERANCE_DB, changes))


def click(button):
    push = parts().get(("push button", button))
    if push is None:
        fail("no push button named %r" % button)
    if not push.queryAction().doAction(0):
        fail("the click action was refused")


def check_announcement(prefix, seconds):
    parts()
    heard = []

    def announced(event):
        if event.host_application is not None and event.host_application.name == APPLICATION:
            heard.append(str(event.any_data))

    pyatspi.Registry.registerEventListener(announced, "object:announcement")
    text = wait_until(seconds, lambda: next((t for t in heard if t.startswith(prefix)), None))
    pyatspi.Registry.deregisterEventListener(announced, "object:announcement")
    if text is None:
        fail("no announcement starting %r in %s s; heard %r" % (prefix, seconds, heard))
    print(text)


def main(arguments):
    if len(arguments) == 3 and arguments[0] == "tree":
        check_tree(arguments[1], arguments[2])
    elif len(arguments) == 4 and arguments[0] in ("levels", "follow"):
        check_levels(float(arguments[1]), float(arguments[2]), float(arguments[3]),
                     arguments[0] == "follow")
    elif len(arguments) == 2 and arguments[0] == "click":
        click(arguments[1])
    elif len(arguments) == 3 and arguments[0] == "announce":
        check_announcement(arguments[1], float(arguments[2]))
    else:
        print(__doc__, file=sys.stderr)
        sys.exit(2)


if __name__ == "__main__":
    main(sys.argv[1:])
