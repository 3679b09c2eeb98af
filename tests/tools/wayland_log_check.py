#!/usr/bin/env python3
"""Checks a client's WAYLAND_DEBUG=1 log (its stderr) for three protocol faults
that a lenient compositor lets through and a strict one does not:

  grab     xdg_popup.grab and xdg_activation_token_v1.set_serial carry the
           serial of a press received before them: wl_pointer.button or
           wl_keyboard.key with state 1 (pressed), or wl_touch.down. A grab
           "must be used in response to some sort of user action like a button
           press, key press, or touch down event" (xdg-shell); a release's
           serial is refused by some compositors, which dismiss the popup.
           For set_serial this is stricter than xdg-activation's text, which
           allows a focus event's serial too.
  cursor   each wl_pointer.enter is answered by wl_pointer.set_cursor (or
           wp_cursor_shape_device_v1.set_shape), on any of the client's
           pointers, with that enter's serial before the pointer's next enter,
           button or leave event, or the log's end: a cursor request with any
           other serial is ignored, and until one comes the pointer over the
           surface shows whatever the compositor left there, or nothing.
  scale    no wl_surface.commit whose buffer, attached now or before, has a
           width or height that the surface's buffer scale, set now or before,
           does not divide: "at commit time the supplied buffer size must be an
           integer multiple of the buffer_scale" (wl_surface.attach), else the
           error invalid_size. Sizes are known for wl_shm buffers only.

Usage: wayland_log_check.py [--summary] LOG    (LOG "-": stdin)
Prints one line per fault ("RULE line N: what"); exits 1 if there was any,
0 if none, 2 if the log cannot be read. Lines that are not protocol messages
(the program's own) are skipped. Object ids are reused once freed, so every
object's state is dropped when its id is named again as a new id or freed.
"""
import re
import sys

# "[1234.567]  -> wl_surface@3.attach(wl_buffer@17, 0, 0)" (a request) or
# "[1234.567] wl_pointer@7.button(12, 3456, 272, 1)" (an event). Newer
# libwayland may print a queue name in braces after the time.
MESSAGE = re.compile(
    r"^\[\s*[\d.]+\]\s+(?:\{[^}]*\}\s+)?(->\s+)?([\w\[\] ]+)@(\d+)\.(\w+)\((.*)\)\s*$")
NEW_ID = re.compile(r"new id ([\w\[\]]+)@(\d+)")


def split_args(text):
    """The arguments as strings; commas inside quotes do not split."""
    args, current, quoted = [], "", False
    for char in text:
        if char == '"':
            quoted = not quoted
        if char == "," and not quoted:
            args.append(current.strip())
            current = ""
        else:
            current += char
    if current.strip():
        args.append(current.strip())
    return args


def object_id(arg):
    """The id of an object argument ("wl_buffer@17"), None for nil."""
    match = re.search(r"@(\d+)$", arg)
    return int(match.group(1)) if match else None


class Checker:
    def __init__(self):
        self.faults = []
        self.counts = {"grab": 0, "cursor": 0, "scale": 0, "unreadable": 0}
        self.interfaces = {}  # object id -> interface, from its new id
        self.presses = set()  # serials of press events received so far
        self.serials = {}  # serial -> the event that carried it, for the faults
        self.entered = {}  # wl_pointer id -> (serial, line) of an unanswered enter
        self.cursor_serials = set()  # serials that cursor requests carried
        self.buffer_sizes = {}  # wl_buffer id -> (width, height); shm buffers only
        self.surfaces = {}  # wl_surface id -> its state, see surface()

    def fault(self, rule, number, text):
        self.counts[rule] += 1
        self.faults.append(f"{rule} line {number}: {text}")

    def forget(self, oid):
        """A freed or reused id: whatever was known of its old object goes."""
        self.interfaces.pop(oid, None)
        self.buffer_sizes.pop(oid, None)
        self.surfaces.pop(oid, None)
        self.entered.pop(oid, None)

    def surface(self, oid):
        # scale: committed; pending_scale: set since the last commit (None:
        # not set); buffer: (id, size) committed; pending_buffer: attached
        # since the last commit, "none" if not, None if nil.
        return self.surfaces.setdefault(
            oid, {"scale": 1, "pending_scale": None, "buffer": None, "pending_buffer": "none"})

    def unanswered_enter(self, pointer, number, why):
        if pointer in self.entered:
            serial, at = self.entered.pop(pointer)
            self.fault("cursor", at, f"wl_pointer@{pointer}.enter serial {serial} got no "
                       f"set_cursor with that serial before {why}")

    def line(self, number, text):
        match = MESSAGE.match(text)
        if not match:
            return
        request, interface, oid, name, args = match.groups()
        oid = int(oid)
        args = split_args(args)
        for new_interface, new_oid in NEW_ID.findall(match.group(5)):
            self.forget(int(new_oid))
            if new_interface == "[unknown]" and name == "bind":
                new_interface = args[1].strip('"')  # bind(name, "interface", version, new id)
            self.interfaces[int(new_oid)] = new_interface
        if interface == "[unknown]":
            interface = self.interfaces.get(oid, interface)
        if request:
            self.request(number, interface, oid, name, args)
        else:
            self.event(number, interface, oid, name, args)

    def event(self, number, interface, oid, name, args):
        if args and interface in ("wl_pointer", "wl_keyboard", "wl_touch"):
            self.serials[args[0]] = f"{interface}.{name}({', '.join(args)}) on line {number}"
        if interface == "wl_display" and name == "delete_id":
            self.forget(int(args[0]))
        elif interface in ("wl_pointer", "wl_keyboard") and name in ("button", "key"):
            if args[3] == "1":
                self.presses.add(args[0])
        elif interface == "wl_touch" and name == "down":
            self.presses.add(args[0])
        if interface == "wl_pointer" and name in ("enter", "leave", "button"):
            self.unanswered_enter(oid, number, f"its {name} on line {number}")
            # The seat's cursor is one: a request on another of the client's
            # wl_pointers (a toolkit's own) answers this one's enter too,
            # even one this pointer's queue delivers after the request.
            if name == "enter" and args[0] not in self.cursor_serials:
                self.entered[oid] = (args[0], number)

    def request(self, number, interface, oid, name, args):
        if (interface, name) == ("xdg_popup", "grab"):
            self.expect_press(number, "xdg_popup.grab", args[1])
        elif (interface, name) == ("xdg_activation_token_v1", "set_serial"):
            self.expect_press(number, "xdg_activation_token_v1.set_serial", args[0])
        elif (interface, name) in (("wl_pointer", "set_cursor"),
                                   ("wp_cursor_shape_device_v1", "set_shape")):
            self.cursor_serials.add(args[0])
            for pointer, (serial, _) in list(self.entered.items()):
                if serial == args[0]:
                    del self.entered[pointer]
        elif (interface, name) == ("wl_pointer", "release"):
            self.entered.pop(oid, None)
        elif (interface, name) == ("wl_shm_pool", "create_buffer"):
            # create_buffer(new id, offset, width, height, stride, format)
            self.buffer_sizes[object_id(args[0])] = (int(args[2]), int(args[3]))
        elif interface == "wl_surface":
            self.surface_request(number, oid, name, args)

    def expect_press(self, number, what, serial):
        if serial not in self.presses:
            self.fault("grab", number, f"{what} with serial {serial}, not a press's: "
                       + self.serials.get(serial, "no input event received before it"))

    def surface_request(self, number, oid, name, args):
        state = self.surface(oid)
        if name == "set_buffer_scale":
            if int(args[0]) < 1:
                self.fault("scale", number, f"wl_surface@{oid}.set_buffer_scale({args[0]})")
            else:
                state["pending_scale"] = int(args[0])
        elif name == "attach":
            buffer = object_id(args[0])
            state["pending_buffer"] = None if buffer is None else (
                buffer, self.buffer_sizes.get(buffer))
        elif name == "commit":
            scale = state["pending_scale"] or state["scale"]
            buffer = state["buffer"] if state["pending_buffer"] == "none" else state[
                "pending_buffer"]
            if buffer and buffer[1] and (buffer[1][0] % scale or buffer[1][1] % scale):
                self.fault("scale", number, f"wl_surface@{oid}.commit of wl_buffer@{buffer[0]} "
                           f"({buffer[1][0]}x{buffer[1][1]}) at buffer scale {scale}")
            state.update(scale=scale, pending_scale=None, buffer=buffer, pending_buffer="none")
        elif name == "destroy":
            self.surfaces.pop(oid, None)

    def finish(self, number):
        for pointer in list(self.entered):
            self.unanswered_enter(pointer, number, "the log's end")


def main(argv):
    summary = "--summary" in argv
    paths = [arg for arg in argv if arg != "--summary"]
    if len(paths) != 1:
        print("usage: wayland_log_check.py [--summary] LOG", file=sys.stderr)
        return 2
    checker = Checker()
    number = 0
    try:
        source = sys.stdin.fileno() if paths[0] == "-" else paths[0]
        with open(source, errors="replace", closefd=paths[0] != "-") as log:
            for number, text in enumerate(log, 1):
                try:
                    checker.line(number, text.rstrip("\n"))
                except (IndexError, ValueError):
                    checker.counts["unreadable"] += 1  # a cut or garbled message
    except OSError as error:
        print(f"wayland_log_check: {error}", file=sys.stderr)
        return 2
    checker.finish(number)
    for fault in checker.faults:
        print(fault)
    if summary:
        print(" ".join(f"{rule}={count}" for rule, count in checker.counts.items()) +
              f" lines={number}")
    return 1 if checker.faults else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
