#!/usr/bin/python3
"""Mouse and keys for a test under GNOME's compositor (mutter), through its
remote-desktop D-Bus interface on the session bus of DBUS_SESSION_BUS_ADDRESS.
A remote-desktop session gives the seat a virtual pointer and keyboard while
it runs, and mutter ends it when its caller leaves the bus; so this one
process holds the session and takes commands on stdin, one a line, answering
each on stdout with "ok" once mutter has taken it, or "error: WHY":

  move DX DY          moves the pointer by DX, DY logical pixels (relative
                      motion: absolute motion needs a screen-cast stream)
  home                moves it to the top-left corner, 0,0 (far up and left:
                      mutter stops the pointer at the screen's edge)
  to X Y              home, then move X Y: the pointer at X,Y on the screen
  press BTN           a button down; BTN an evdev code (272) or left, right,
  release BTN         middle
  click BTN           press and release
  key KEYSYM down|up  a key by its keysym, a number (0xffc7) or a name below
  stop                ends the session: the seat loses its pointer and keyboard
  start               a new session, as a replugged mouse and keyboard

Run: mutter_input.py (a session is started at once; "ready" says it runs).
Debian's own python3 carries the dbus module (python3-dbus).
"""
import sys
import time

import dbus

SERVICE = "org.gnome.Mutter.RemoteDesktop"
BUTTONS = {"left": 272, "right": 273, "middle": 274}  # BTN_LEFT... in linux/input-event-codes.h
KEYSYMS = {  # X11's keysymdef.h
    "Escape": 0xFF1B, "Return": 0xFF0D, "Tab": 0xFF09, "Home": 0xFF50, "Up": 0xFF52,
    "Down": 0xFF54, "F4": 0xFFC1, "F10": 0xFFC7, "Shift_L": 0xFFE1, "Control_L": 0xFFE3,
    "Alt_L": 0xFFE9, "Menu": 0xFF67,
}


class Input:
    def __init__(self):
        self.bus = dbus.SessionBus()
        self.session = None

    def start(self):
        manager = dbus.Interface(self.bus.get_object(SERVICE, "/org/gnome/Mutter/RemoteDesktop"),
                                 SERVICE)
        path = manager.CreateSession()
        self.session = dbus.Interface(self.bus.get_object(SERVICE, path), SERVICE + ".Session")
        self.session.Start()
        # mutter makes the virtual pointer and keyboard at their first event,
        # and a key held as the keyboard arrives reaches a client as already
        # down (in wl_keyboard.enter), not as a press: both are made now,
        # by a key that does nothing alone and a motion there and back.
        self.session.NotifyKeyboardKeysym(dbus.UInt32(KEYSYMS["Shift_L"]), True)
        self.session.NotifyKeyboardKeysym(dbus.UInt32(KEYSYMS["Shift_L"]), False)
        self.session.NotifyPointerMotionRelative(1.0, 0.0)
        self.session.NotifyPointerMotionRelative(-1.0, 0.0)

    def stop(self):
        if self.session is not None:
            self.session.Stop()
            self.session = None

    def home(self):
        self.running().NotifyPointerMotionRelative(-100000.0, -100000.0)
        # mutter's input thread may take a motion that follows at once as
        # one with this, stopped at the screen's edge as a whole.
        time.sleep(0.1)

    def running(self):
        if self.session is None:
            raise ValueError("no session: start one")
        return self.session

    def command(self, words):
        name, args = words[0], words[1:]
        if name == "start":
            self.stop()
            self.start()
        elif name == "stop":
            self.stop()
        elif name == "move" and len(args) == 2:
            self.running().NotifyPointerMotionRelative(float(args[0]), float(args[1]))
        elif name == "home" and not args:
            self.home()
        elif name == "to" and len(args) == 2:
            self.home()
            self.running().NotifyPointerMotionRelative(float(args[0]), float(args[1]))
        elif name in ("press", "release", "click") and len(args) == 1:
            button = BUTTONS.get(args[0]) or int(args[0], 0)
            if name != "release":
                self.running().NotifyPointerButton(button, True)
            if name != "press":
                self.running().NotifyPointerButton(button, False)
        elif name == "key" and len(args) == 2 and args[1] in ("down", "up"):
            keysym = KEYSYMS.get(args[0]) or int(args[0], 0)
            self.running().NotifyKeyboardKeysym(dbus.UInt32(keysym), args[1] == "down")
        else:
            raise ValueError("unknown command: " + " ".join(words))


def main():
    try:
        control = Input()
        control.start()
    except dbus.DBusException as error:
        print("error: " + str(error), flush=True)
        return 1
    print("ready", flush=True)
    for line in sys.stdin:
        words = line.split()
        if not words:
            continue
        try:
            control.command(words)
            print("ok", flush=True)
        except (ValueError, dbus.DBusException) as error:
            print("error: " + str(error).replace("\n", " "), flush=True)
    try:
        control.stop()
    except dbus.DBusException:
        pass  # the compositor has gone
    return 0


if __name__ == "__main__":
    sys.exit(main())
