#!/usr/bin/python3
"""Checks through AT-SPI, as a screen reader sees it, that a running console shows every control
by its accessible name and role, each in its group, and that a button can be pressed."""

import sys
import time

import pyatspi

APP_NAME = "tqm810-console"
TITLE = "TQM-810 DEMO PROGRAM 2007년 9월11일"

PUSH = pyatspi.ROLE_PUSH_BUTTON
RADIO = pyatspi.ROLE_RADIO_BUTTON
CHECK = pyatspi.ROLE_CHECK_BOX
PANEL = pyatspi.ROLE_PANEL
LIST = pyatspi.ROLE_LIST
LABEL = pyatspi.ROLE_LABEL
ROLE_NAMES = {PUSH: "push button", RADIO: "radio button", CHECK: "check box", PANEL: "panel",
              LIST: "list", LABEL: "label"}

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
    (LABEL, "Received data", TITLE, None),
    # The description label reads out what it shows: the line settings after start-up.
    (LABEL, "9600,n,8,1", TITLE, "Description"),
]

# Pressing this button must change what the description label reads out.
PRESS = "외부 Sensor"
PRESSED_LABEL = "Read Sensor Status Mode( Data Format Stx N Etx Cr )  [ ESC + N ]"

# Kinds of control an operator acts on: every one of them must be in EXPECTED, so a control
# added without an accessible name cannot slip through.
OPERABLE = {PUSH, RADIO, CHECK}

WAIT_SECONDS = 30


def wait_for(what, probe):
    deadline = time.monotonic() + WAIT_SECONDS
    while time.monotonic() < deadline:
        found = probe()
        if found:
            return found
        time.sleep(0.2)
    sys.exit(f"a11y: FAIL: {what} not seen within {WAIT_SECONDS} s")


def find_window():
    desktop = pyatspi.Registry.getDesktop(0)
    for app in (desktop.getChildAtIndex(i) for i in range(desktop.childCount)):
        if app is None or app.name != APP_NAME:
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


def role_name(role):
    return ROLE_NAMES.get(role, str(role))


def main():
    window = wait_for(f"the window '{TITLE}' of {APP_NAME} on the accessibility bus", find_window)
    nodes = [(n.getRole(), n.name, n.parent.name, n.description, n) for n in descendants(window)]

    failures = []
    for role, name, group, description in EXPECTED:
        matches = [n for n in nodes if n[0] == role and n[1] == name]
        if not matches:
            others = [n[4].getRoleName() for n in nodes if n[1] == name]
            seen = f" (seen as {', '.join(others)})" if others else ""
            failures.append(f"no {role_name(role)} named '{name}'{seen}")
            continue
        if len(matches) > 1:
            failures.append(f"{len(matches)} controls are {role_name(role)} '{name}'")
        if matches[0][2] != group:
            failures.append(f"{role_name(role)} '{name}' is in '{matches[0][2]}', not '{group}'")
        if description is not None and matches[0][3] != description:
            failures.append(
                f"{role_name(role)} '{name}' is described as '{matches[0][3]}', not '{description}'"
            )

    expected = {(role, name) for role, name, _, _ in EXPECTED}
    for role, name, _, _, _ in nodes:
        if role in OPERABLE and (role, name) not in expected:
            failures.append(f"unexpected {role_name(role)} named '{name}'")

    if not failures:
        press_and_listen(nodes, failures)

    for failure in failures:
        print(f"a11y: FAIL: {failure}")
    if failures:
        return 1
    print(f"a11y: all {len(EXPECTED)} controls found by name and role in their groups; "
          f"'{PRESS}' pressed through AT-SPI")
    return 0


def press_and_listen(nodes, failures):
    button = next(n[4] for n in nodes if n[0] == PUSH and n[1] == PRESS)
    label = next(n[4] for n in nodes if n[3] == "Description")
    action = button.queryAction()
    actions = [action.getName(i) for i in range(action.nActions)]
    if "Press" not in actions:
        failures.append(f"'{PRESS}' offers no Press action, only {actions}")
        return
    action.doAction(actions.index("Press"))
    deadline = time.monotonic() + WAIT_SECONDS
    while label.name != PRESSED_LABEL and time.monotonic() < deadline:
        time.sleep(0.2)
    if label.name != PRESSED_LABEL:
        failures.append(f"after pressing '{PRESS}' the description label reads '{label.name}'")


if __name__ == "__main__":
    sys.exit(main())
