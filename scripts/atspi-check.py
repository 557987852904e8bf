#!/usr/bin/python3
"""Reads the running client over AT-SPI, as a screen reader does, and checks the names it hears.

Started by scripts/atspi-check.sh inside its own D-Bus session and X display. It logs in through the
login form's accessibles, clicks "Новые заявки", prints every showing label with its accessible name,
and checks that the list title is read with its count and the account label with the account.
Exit code: 0 when both names are right, 1 otherwise.
"""
import argparse
import re
import sys
import time
import warnings

import gi

gi.require_version("Atspi", "2.0")
from gi.repository import Atspi, GLib  # noqa: E402

APPLICATION = "Tavrel"
NEW_ORDERS = "Новые заявки"
LOADING = "Загрузка данных"  # the window's loading overlay
LIST_TITLE = re.compile(r"^Новые заявки \((\d+)\)$")
# Actions that open what an item stands for; Qt's labels with links offer only "SetFocus".
ACTIVATING = {"press", "click", "activate", "jump"}
# Its replacement is not in the typelib, where it would clash with the accessible's own get_name.
warnings.filterwarnings("ignore", message=r"Atspi\.Action\.get_action_name is deprecated")


def poll(find, seconds):
    deadline = time.monotonic() + seconds
    while True:
        found = find()
        if found or time.monotonic() > deadline:
            return found
        time.sleep(0.2)


def wait_for(what, find, seconds):
    found = poll(find, seconds)
    if not found:
        sys.exit("FAIL: no %s within %d s" % (what, seconds))
    return found


def application():
    desktop = Atspi.get_desktop(0)
    for i in range(desktop.get_child_count()):
        app = desktop.get_child_at_index(i)
        if app is not None and app.get_name() == APPLICATION:
            return app
    return None


def showing(root):
    """(accessible, role, name) of every showing accessible under root, depth first, in the order a reader
    walks them. Rows the list re-fills while we walk vanish from the bus: those are skipped."""
    out = []
    stack = [root]
    while stack:
        node = stack.pop()
        try:
            if node is not root and not node.get_state_set().contains(Atspi.StateType.SHOWING):
                continue
            out.append((node, node.get_role(), node.get_name()))
            children = [node.get_child_at_index(i) for i in range(node.get_child_count())]
        except GLib.Error:
            continue
        stack.extend(child for child in reversed(children) if child is not None)
    return out


def first(root, role, name=None, actions=False):
    for node, node_role, node_name in showing(root):
        if node_role == role and (name is None or node_name == name) and (not actions or node.get_n_actions()):
            return node
    return None


def action_names(node):
    return [node.get_action_name(i) for i in range(node.get_n_actions())]


def log_in(app, login, password):
    button = wait_for('"Войти" button', lambda: first(app, Atspi.Role.PUSH_BUTTON, "Войти"), 30)
    # The login is an editable combo box once accounts are remembered, else its line edit alone.
    combo = first(app, Atspi.Role.COMBO_BOX, "Логин")
    login_field = first(combo, Atspi.Role.TEXT) if combo else first(app, Atspi.Role.TEXT, "Логин")
    password_field = first(app, Atspi.Role.PASSWORD_TEXT)
    if login_field is None or password_field is None:
        sys.exit("FAIL: the login form shows no login or password field")
    if not (login_field.set_text_contents(login) and password_field.set_text_contents(password)):
        sys.exit("FAIL: the login form's fields took no text")
    button.do_action(action_names(button).index("Press"))


def click(item):
    """Uses the item's own activating action; without one, clicks it through AT-SPI's device event
    controller, as a screen reader routes the mouse to an item that offers no such action."""
    names = action_names(item)
    for i, name in enumerate(names):
        if name.lower() in ACTIVATING:
            item.do_action(i)
            return 'action "%s"' % name
    box = item.get_extents(Atspi.CoordType.SCREEN)
    # Near the left edge: the link's text starts there, the rest of the label is empty space.
    Atspi.generate_mouse_event(box.x + 5, box.y + box.height // 2, "b1c")
    return "mouse click at its extents (its actions: %s)" % (", ".join(names) or "none")


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--login", default="demo")
    parser.add_argument("--password", default="demo")
    parser.add_argument("--account", required=True, help="the account text the client shows")
    args = parser.parse_args()

    app = wait_for("application %s on the AT-SPI bus" % APPLICATION, application, 30)
    log_in(app, args.login, args.password)

    # The menu's link, not the badge beside it (no action) nor the small menu's icon (an image).
    link = wait_for('"%s" in the menu' % NEW_ORDERS, lambda: first(app, Atspi.Role.LABEL, NEW_ORDERS, True), 60)
    print('Clicked "%s" by %s' % (NEW_ORDERS, click(link)))

    def labels():
        return [name for _, role, name in showing(app) if role == Atspi.Role.LABEL]

    # Read the settled window: the title has its count and the loading overlay has gone.
    def settled():
        names = labels()
        return any(LIST_TITLE.match(name) for name in names) and LOADING not in names

    poll(settled, 30)
    names = labels()
    print("Showing labels, as AT-SPI names them:")
    for name in names:
        print("  label %r" % name)

    failures = []
    if not any(LIST_TITLE.match(name) for name in names):
        failures.append('no label is named "%s (N)"' % NEW_ORDERS)
    if args.account not in names:
        failures.append("no label is named with the account %r" % args.account)
    for failure in failures:
        print("FAIL: " + failure)
    if failures:
        return 1
    print('PASS: the list title and the account label are read as shown')
    return 0


if __name__ == "__main__":
    sys.exit(main())
