#!/usr/bin/python3
"""Checks through AT-SPI, as a screen reader sees it, that a running console shows every control
by its accessible name and role, each in its group, that a button can be pressed, and that the
receive box reads out, and announces, exactly what the device sent: the simulator's reply, a reply
from a pseudo-terminal of this script's own, and the end of a 20 MiB flood.

    check_a11y.py --console PATH   (the console to start a second time on this script's own line)

With --press NAME --expect TEXT it only presses that button in the running console and checks
that the receive box then reads exactly TEXT.
"""

import argparse
import os
import shutil
import subprocess
import sys
import tempfile
import threading
import time

import pyatspi
from gi.repository import GLib
from pyatspi import Atspi

APP_NAME = "tqm810-console"
TITLE = "TQM-810 DEMO PROGRAM 2007년 9월11일"

PUSH = pyatspi.ROLE_PUSH_BUTTON
RADIO = pyatspi.ROLE_RADIO_BUTTON
CHECK = pyatspi.ROLE_CHECK_BOX
PANEL = pyatspi.ROLE_PANEL
LIST = pyatspi.ROLE_LIST
LABEL = pyatspi.ROLE_LABEL
TEXT = pyatspi.ROLE_TEXT

BOX = "Received data"
LED_GROUP = "외부 LED/Buzzer"
PORT_GROUP = "통신포트"
FOUND_GROUP = "검색 통신포트"
LINE_GROUP = ""  # the DTR/RTS frame has no caption

# role, accessible name, name of the group it sits in, accessible description (None: not checked)
EXPECTED = [
    (PUSH, "Data Read", TITLE, None),
    (PUSH, "Data Read 후 pont 증가", TITLE, None),
    (PUSH, "외부 LED/BUZZER", TITLE, None),
    (PUSH, "시간 Setting", TITLE, None),
    (PUSH, "LCD Data Display", TITLE, None),
    (PUSH, "외부 Relay", TITLE, None),
    (PUSH, "외부 Sensor", TITLE, None),
    (PUSH, "Aux Port On", TITLE, None),
    (PUSH, "Aux Port Off", TITLE, None),
    (PUSH, "Data Send", TITLE, None),
    (PUSH, "Version 확인", TITLE, None),
    (PUSH, "LCD Back Light On", TITLE, None),
    (PUSH, "LCD Back Light Off", TITLE, None),
    (PUSH, "초기화(Reset)", TITLE, None),
    (PANEL, LED_GROUP, TITLE, None),
    (RADIO, "Red", LED_GROUP, None),
    (RADIO, "Green", LED_GROUP, None),
    (RADIO, "Buzzer", LED_GROUP, None),
    (PANEL, PORT_GROUP, TITLE, None),
    (RADIO, "COM1", PORT_GROUP, None),
    (RADIO, "COM2", PORT_GROUP, None),
    (RADIO, "COM3", PORT_GROUP, None),
    (RADIO, "COM4", PORT_GROUP, None),
    (RADIO, "COM5", PORT_GROUP, None),
    (RADIO, "COM6", PORT_GROUP, None),
    (RADIO, "COM7", PORT_GROUP, None),
    (RADIO, "COM8", PORT_GROUP, None),
    (CHECK, "DTR", LINE_GROUP, None),
    (CHECK, "RTS", LINE_GROUP, None),
    (PANEL, FOUND_GROUP, TITLE, None),
    (LIST, "Ports found", FOUND_GROUP, None),
    (TEXT, BOX, TITLE, None),
    # The description label reads out what it shows: the line settings after start-up.
    (LABEL, "9600,n,8,1", TITLE, "Description"),
]

# Pressing this button must change what the description label reads out.
PRESS = "외부 Sensor"
PRESSED_LABEL = "Read Sensor Status Mode( Data Format Stx N Etx Cr )  [ ESC + N ]"
# ...and the simulator's answer to it, as the receive box shows it.
SENSOR_REPLY = "[STX]0[ETX][CR]"

# What the box must show for each byte, written out here apart from the console's own table.
CONTROL_NAMES = ["NUL", "SOH", "STX", "ETX", "EOT", "ENQ", "ACK", "BEL", "BS", "HT", "LF", "VT",
                 "FF", "CR", "SO", "SI", "DLE", "DC1", "DC2", "DC3", "DC4", "NAK", "SYN", "ETB",
                 "CAN", "EM", "SUB", "ESC", "FS", "GS", "RS", "US"]
# Bytes from 0x80 with no character in Windows-1252, or an invisible one, show as U+0100 + (b - 0x80).
HIGH_WITHOUT_CP1252 = {0x81, 0x8D, 0x8F, 0x90, 0x9D, 0xA0, 0xAD}


def render_byte(b):
    if b < 0x20:
        return f"[{CONTROL_NAMES[b]}]"
    if b == 0x7F:
        return "[DEL]"
    if b < 0x80:
        return chr(b)
    if b in HIGH_WITHOUT_CP1252:
        return chr(0x100 + b - 0x80)
    return bytes([b]).decode("cp1252")


RENDERED = [render_byte(b) for b in range(256)]


def render(data):
    return "".join(RENDERED[b] for b in data)


# A reply written into the line by this script, and what the box must read after it.
PTY_REPLY = bytes([0x02, 0x41, 0x42, 0x0D, 0x0A, 0x03])
PTY_REPLY_SHOWN = "[STX]AB[CR][LF][ETX]"
FLOOD_BYTES = 20 * 1024 * 1024
TAIL_CHARS = 200

# The states a screen reader expects of a text box it may read but not type into. The box also
# says its text is selectable, but Qt 6.4's AT-SPI bridge does not pass that state on; the
# unit tests check it on the box's own interface.
BOX_STATES = {"read-only": getattr(pyatspi, "STATE_READ_ONLY", None),
              "multi-line": pyatspi.STATE_MULTI_LINE,
              "focusable": pyatspi.STATE_FOCUSABLE}

# Kinds of control an operator acts on: every one of them must be in EXPECTED, so a control
# added without an accessible name cannot slip through.
OPERABLE = {PUSH, RADIO, CHECK}

WAIT_SECONDS = 30


def poll(probe, seconds):
    """Runs the main loop, so that events arrive, until probe() gives something or time is up."""
    context = GLib.MainContext.default()
    deadline = time.monotonic() + seconds
    # Wakes the loop now and then to ask again, when no event does.
    tick = GLib.timeout_add(100, lambda: True)
    try:
        while True:
            found = probe()
            if found or time.monotonic() >= deadline:
                return found
            context.iteration(True)
    finally:
        GLib.source_remove(tick)


def wait_for(what, probe, seconds=WAIT_SECONDS):
    found = poll(probe, seconds)
    if not found:
        sys.exit(f"a11y: FAIL: {what} not seen within {seconds} s")
    return found


def find_window(pid=None):
    desktop = pyatspi.Registry.getDesktop(0)
    for app in (desktop.getChildAtIndex(i) for i in range(desktop.childCount)):
        if app is None or app.name != APP_NAME:
            continue
        if pid is not None and app.get_process_id() != pid:
            continue
        for window in (app.getChildAtIndex(i) for i in range(app.childCount)):
            if window is not None and window.name == TITLE:
                return window
    return None


def descendants(node):
    for i in range(node.childCount):
        child = node.getChildAtIndex(i)
        if child is not None:
            yield child
            yield from descendants(child)


class Inserts:
    """What an Orca-style client hears: the receive box's object:text-changed:insert events."""

    def __init__(self):
        self.events = []  # (process id, position, length, text)
        pyatspi.Registry.registerEventListener(self.heard, "object:text-changed:insert")

    def heard(self, event):
        source = event.source
        if source is None or source.name != BOX or source.getRole() != TEXT:
            return
        self.events.append((source.get_process_id(), event.detail1, event.detail2, event.any_data))

    def of(self, pid):
        return [e[1:] for e in self.events if e[0] == pid]

    def text(self, pid):
        """The box's text as the events built it up, or None where one does not follow on."""
        text = ""
        for position, length, inserted in self.of(pid):
            if position != len(text) or length != len(inserted):
                return None
            text += inserted
        return text


def box_text(box):
    text = box.queryText()
    return text.getText(0, text.characterCount)


def check_box(box, failures):
    states = box.getState()
    seen = ", ".join(pyatspi.stateToString(s) for s in states.getStates())
    for name, state in BOX_STATES.items():
        if state is not None and not states.contains(state):
            failures.append(f"the receive box is not {name}, only {seen}")
    if states.contains(pyatspi.STATE_EDITABLE):
        failures.append("the receive box offers to be typed into")
    if "Text" not in box.get_interfaces():
        failures.append(f"the receive box has no Text interface, only {box.get_interfaces()}")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--console")
    parser.add_argument("--press", metavar="NAME")
    parser.add_argument("--expect", metavar="TEXT")
    args = parser.parse_args()
    if args.press is not None or args.expect is not None:
        if args.press is None or args.expect is None or args.console is not None:
            parser.error("--press and --expect go together, without --console")
        return press_only(args.press, args.expect)
    if args.console is None:
        parser.error("--console PATH is needed for the whole check")
    # Listening from the start: a console reads who listens when it connects to the bus.
    inserts = Inserts()

    window = wait_for(f"the window '{TITLE}' of {APP_NAME} on the accessibility bus", find_window)
    nodes = [(n.getRole(), n.name, n.parent.name, n.description, n) for n in descendants(window)]

    failures = []
    for role, name, group, description in EXPECTED:
        control = f"{Atspi.role_get_name(role)} '{name}'"
        matches = [n for n in nodes if n[0] == role and n[1] == name]
        if not matches:
            others = [n[4].getRoleName() for n in nodes if n[1] == name]
            seen = f" (seen as {', '.join(others)})" if others else ""
            failures.append(f"no {Atspi.role_get_name(role)} named '{name}'{seen}")
            continue
        if len(matches) > 1:
            failures.append(f"{len(matches)} controls are {control}")
        if matches[0][2] != group:
            failures.append(f"{control} is in '{matches[0][2]}', not '{group}'")
        if description is not None and matches[0][3] != description:
            failures.append(f"{control} is described as '{matches[0][3]}', not '{description}'")

    expected = {(role, name) for role, name, _, _ in EXPECTED}
    for role, name, _, _, _ in nodes:
        if role in OPERABLE and (role, name) not in expected:
            failures.append(f"unexpected {Atspi.role_get_name(role)} named '{name}'")

    if not failures:
        box = next(n[4] for n in nodes if n[0] == TEXT and n[1] == BOX)
        check_box(box, failures)
        press_and_listen(nodes, box, inserts, failures)
    if not failures:
        own_line(args.console, inserts, failures)

    for failure in failures:
        print(f"a11y: FAIL: {failure}")
    if failures:
        return 1
    print(f"a11y: all {len(EXPECTED)} controls found by name and role in their groups; "
          f"'{PRESS}' pressed through AT-SPI; the receive box read and heard: the simulator's "
          f"reply, a reply and a {FLOOD_BYTES >> 20} MiB flood from a pseudo-terminal")
    return 0


def press_only(name, expected):
    window = wait_for(f"the window '{TITLE}' of {APP_NAME} on the accessibility bus", find_window)
    nodes = list(descendants(window))
    buttons = [n for n in nodes if n.getRole() == PUSH and n.name == name]
    boxes = [n for n in nodes if n.getRole() == TEXT and n.name == BOX]
    if len(buttons) != 1 or len(boxes) != 1:
        print(f"a11y: FAIL: {len(buttons)} push buttons '{name}', {len(boxes)} boxes '{BOX}'")
        return 1
    action = buttons[0].queryAction()
    actions = [action.getName(i) for i in range(action.nActions)]
    if "Press" not in actions:
        print(f"a11y: FAIL: '{name}' offers no Press action, only {actions}")
        return 1
    action.doAction(actions.index("Press"))
    # Waits out a reply arriving in pieces, so that what is compared is the whole of it.
    if not poll(lambda: box_text(boxes[0]) == expected, 10):
        print(f"a11y: FAIL: after '{name}' the receive box reads '{box_text(boxes[0])}', "
              f"not '{expected}'")
        return 1
    print(f"a11y: after '{name}' pressed through AT-SPI the receive box reads '{expected}'")
    return 0


def press_and_listen(nodes, box, inserts, failures):
    button = next(n[4] for n in nodes if n[0] == PUSH and n[1] == PRESS)
    label = next(n[4] for n in nodes if n[3] == "Description")
    action = button.queryAction()
    actions = [action.getName(i) for i in range(action.nActions)]
    if "Press" not in actions:
        failures.append(f"'{PRESS}' offers no Press action, only {actions}")
        return
    pid = box.get_process_id()
    action.doAction(actions.index("Press"))
    if not poll(lambda: label.name == PRESSED_LABEL, WAIT_SECONDS):
        failures.append(f"after pressing '{PRESS}' the description label reads '{label.name}'")
    if not poll(lambda: box_text(box) == SENSOR_REPLY, WAIT_SECONDS):
        failures.append(f"after '{PRESS}' the receive box reads '{box_text(box)}', "
                        f"not '{SENSOR_REPLY}'")
    if not poll(lambda: inserts.text(pid) == SENSOR_REPLY, WAIT_SECONDS):
        failures.append(f"after '{PRESS}' a screen reader heard {inserts.of(pid)}, "
                        f"not '{SENSOR_REPLY}' inserted")


def own_line(console, inserts, failures):
    """The console a second time, with COM1 a pseudo-terminal whose far end this script holds."""
    work = tempfile.mkdtemp(prefix="tqm810-a11y-")
    master, slave = os.openpty()
    process = None
    try:
        ports = os.path.join(work, "config", "tqm810-console", "ports")
        os.makedirs(ports)
        os.symlink(os.ttyname(slave), os.path.join(ports, "com1"))
        env = dict(os.environ, XDG_CONFIG_HOME=os.path.join(work, "config"),
                   QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1")
        with open(os.path.join(work, "console.log"), "wb") as log:
            process = subprocess.Popen([console], env=env, stdout=log, stderr=subprocess.STDOUT)
        window = wait_for("the second console's window", lambda: find_window(process.pid))
        box = next(n for n in descendants(window) if n.getRole() == TEXT and n.name == BOX)
        # The window shows once the port is open: what is written now reaches the console.
        os.write(master, PTY_REPLY)
        if not poll(lambda: box_text(box) == PTY_REPLY_SHOWN, WAIT_SECONDS):
            failures.append(f"after {PTY_REPLY.hex(' ')} the receive box reads "
                            f"'{box_text(box)}', not '{PTY_REPLY_SHOWN}'")
            return
        flood(master, box, process.pid, inserts, failures)
    finally:
        if process is not None:
            process.terminate()
            process.wait()
        os.close(master)
        os.close(slave)
        if failures and os.path.exists(os.path.join(work, "console.log")):
            with open(os.path.join(work, "console.log"), encoding="utf-8", errors="replace") as log:
                sys.stderr.write(log.read())
        shutil.rmtree(work)


def flood_payload():
    """Framed records with a run of all 256 byte values after every 64th, to exactly the size."""
    records = []
    for n in range(4096):
        records.append(b"\x02REC%06d T=+%02d.%dC RH=%02d%% OK\x03\r\n" % (n, n % 40, n % 10, n % 100))
        if n % 64 == 63:
            records.append(bytes(range(256)))
    block = b"".join(records)
    whole, rest = divmod(FLOOD_BYTES, len(block))
    shown = len(render(block)) * whole + len(render(block[:rest]))
    return block * whole + block[:rest], shown


def flood(master, box, pid, inserts, failures):
    payload, shown = flood_payload()
    expected_count = len(PTY_REPLY_SHOWN) + shown
    # The last bytes render to at least one character each: these are enough for the tail.
    expected_tail = render(payload[-TAIL_CHARS:])[-TAIL_CHARS:]
    started = time.monotonic()

    def write_all():
        view = memoryview(payload)
        while view:
            view = view[os.write(master, view[:65536]):]

    # Written from a thread, so that this one keeps taking the box's events as they come.
    writer = threading.Thread(target=write_all, daemon=True)
    writer.start()
    text = box.queryText()
    poll(lambda: not writer.is_alive() and text.characterCount >= expected_count, 90)
    count = text.characterCount
    if count != expected_count:
        failures.append(f"after the flood the receive box holds {count} characters, "
                        f"not {expected_count}")
        return
    tail = text.getText(count - TAIL_CHARS, count)
    if tail != expected_tail:
        failures.append(f"the last {TAIL_CHARS} characters read '{tail}', not '{expected_tail}'")

    def heard_all():
        events = inserts.of(pid)
        return events and sum(e[1] for e in events) >= expected_count

    if not poll(heard_all, WAIT_SECONDS):
        failures.append(f"a screen reader heard {sum(e[1] for e in inserts.of(pid))} characters "
                        f"inserted, not {expected_count}")
        return
    heard = inserts.text(pid)
    if heard is None or len(heard) != expected_count:
        failures.append(f"the insert events do not follow on to {expected_count} characters")
    print(f"a11y: {FLOOD_BYTES >> 20} MiB flood shown as {count} characters in "
          f"{time.monotonic() - started:.1f} s, heard in {len(inserts.of(pid))} insert events")


if __name__ == "__main__":
    sys.exit(main())
