#!/usr/bin/env python3
"""Walks every screen of the app as a screen-reader user would: over the
desktop's accessibility bus (AT-SPI) it finds elements by role and name,
presses them, reads them, and types and goes back with the keyboard.

    walk.py APP PHONE

Run under dbus-run-session; without a DISPLAY it starts its own Xvfb. Every
wait is a bounded wait on a condition. Prints what it reached on each
screen.
"""
import ctypes
import os
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import time
import traceback

DEADLINE_S = 20
KEY_ESCAPE = 0xFF1B
KEY_RETURN = 0xFF0D
KEY_END = 0xFF57
KEY_BACKSPACE = 0xFF08
KEY_DOWN = 0xFF54
KEY_PAGE_DOWN = 0xFF56


class WalkFailed(Exception):
    pass


def wait_for(what, condition, timeout=DEADLINE_S):
    """Polls the condition until it gives a true value, at most `timeout` s."""
    end = time.monotonic() + timeout
    while True:
        # Events from the app (a value that changed) arrive through the
        # default main context.
        context = GLib.MainContext.default()
        while context.pending():
            context.iteration(False)
        try:
            value = condition()
        except Exception:  # an element went away while being read
            value = None
        if value:
            return value
        if time.monotonic() > end:
            raise WalkFailed("timed out waiting for " + what)
        time.sleep(0.05)


XVFB_LOG = tempfile.TemporaryFile()
PR_SET_PDEATHSIG = 1


def end_with_us():
    """Run in each child: it gets SIGTERM when this script ends, even by a
    crash, so no X server or app outlives the test."""
    ctypes.CDLL(None, use_errno=True).prctl(PR_SET_PDEATHSIG, signal.SIGTERM)


def launch_xvfb():
    """Starts Xvfb on a free display; returns it and the display once a
    client can connect, or None when it did not come up."""
    read_end, write_end = os.pipe()
    # -noreset: the server stays as it is when its last client leaves (the
    # probe below is a client).
    xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(write_end), "-screen", "0", "800x600x24", "-nolisten", "tcp",
                             "-noreset"], pass_fds=(write_end,), stderr=XVFB_LOG, preexec_fn=end_with_us)
    os.close(write_end)
    with os.fdopen(read_end) as ready:
        number = ready.readline().strip()  # written once it listens
    display = ":" + number

    def accepts():
        if xvfb.poll() is not None:
            raise WalkFailed("Xvfb on %s ended" % display)
        probe = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
        try:
            probe.connect("/tmp/.X11-unix/X" + number)
            return True
        except OSError:
            return False
        finally:
            probe.close()
    try:
        if number:
            wait_for("Xvfb on " + display, accepts, timeout=10)
            return xvfb, display
    except WalkFailed:
        pass
    xvfb.kill()
    xvfb.wait()
    return None


def start_display():
    """An Xvfb of our own on a free display, when none is given."""
    # X alone: the accessibility library types through X unless it sees a
    # Wayland session, even an empty name of one.
    os.environ.pop("WAYLAND_DISPLAY", None)
    if os.environ.get("DISPLAY"):
        return None
    # Another server starting at the same moment may take the display
    # Xvfb picked: then it ends, and a second one picks another.
    for _ in range(3):
        started = launch_xvfb()
        if started:
            break
    else:
        raise WalkFailed("Xvfb did not start")
    xvfb, display = started
    os.environ["DISPLAY"] = display
    # Services the session bus starts later (the accessibility registry,
    # which types for us) must find the display too.
    from gi.repository import Gio, GLib
    bus = Gio.bus_get_sync(Gio.BusType.SESSION, None)
    bus.call_sync("org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
                  "UpdateActivationEnvironment", GLib.Variant("(a{ss})", ({"DISPLAY": display},)),
                  None, Gio.DBusCallFlags.NONE, 10000, None)
    return xvfb


import gi  # noqa: E402
from gi.repository import GLib  # noqa: E402

gi.require_version("Atspi", "2.0")
xvfb_process = start_display()
from gi.repository import Atspi  # noqa: E402
import pyatspi  # noqa: E402

PUSH = pyatspi.ROLE_PUSH_BUTTON
LABEL = pyatspi.ROLE_LABEL
ITEM = pyatspi.ROLE_LIST_ITEM
DIALOG = pyatspi.ROLE_DIALOG
SPIN = pyatspi.ROLE_SPIN_BUTTON
CHART = pyatspi.ROLE_CHART
IMAGE = pyatspi.ROLE_IMAGE
TEXT = pyatspi.ROLE_TEXT
BAR = pyatspi.ROLE_TOOL_BAR


def showing(acc):
    try:
        states = acc.getState()
        return states.contains(pyatspi.STATE_SHOWING) and states.contains(pyatspi.STATE_VISIBLE)
    except Exception:
        return False


def descendants(acc):
    """Every showing element below acc, depth first."""
    try:
        count = acc.childCount
    except Exception:
        return
    for i in range(count):
        try:
            child = acc.getChildAtIndex(i)
        except Exception:
            continue
        if child is None or not showing(child):
            continue
        yield child
        yield from descendants(child)


def matches(acc, role, name, prefix):
    try:
        return ((role is None or acc.getRole() == role) and (name is None or acc.name == name)
                and (prefix is None or (acc.name or "").startswith(prefix)))
    except Exception:
        return False


def press(acc):
    action = acc.queryAction()
    names = [action.getName(i).lower() for i in range(action.nActions)]
    if "press" not in names:
        raise WalkFailed("%s offers no press action (%s)" % (acc.name, names))
    action.doAction(names.index("press"))


def act(acc, wanted):
    action = acc.queryAction()
    names = [action.getName(i).lower() for i in range(action.nActions)]
    if wanted not in names:
        raise WalkFailed("%s offers no %s action (%s)" % (acc.name, wanted, names))
    action.doAction(names.index(wanted))


def key(keysym):
    pyatspi.Registry.generateKeyboardEvent(keysym, None, pyatspi.KEY_SYM)


def type_text(text):
    pyatspi.Registry.generateKeyboardEvent(0, text, pyatspi.KEY_STRING)


class App:
    def __init__(self, root):
        self.root = root

    def find(self, role=None, name=None, prefix=None):
        return next((acc for acc in descendants(self.root) if matches(acc, role, name, prefix)), None)

    def all(self, role):
        return [acc for acc in descendants(self.root) if matches(acc, role, None, None)]

    def element(self, role=None, name=None, prefix=None, what=None):
        return wait_for(what or name or prefix or str(role), lambda: self.find(role, name, prefix))

    def screen(self, title):
        """Waits until the bar names this screen and it alone is shown (its
        slide has ended)."""
        def alone():
            bar = self.find(BAR)
            if bar is None or bar.name != title:
                return False
            stack = bar.parent
            content = [stack.getChildAtIndex(i) for i in range(stack.childCount)]
            screens = [screen for area in content if area.getRole() != BAR and showing(area)
                       for screen in (area.getChildAtIndex(j) for j in range(area.childCount)) if showing(screen)]
            return len(screens) == 1 and screens[0].name == title
        wait_for("the screen " + title, alone)

    def back(self, to):
        key(KEY_ESCAPE)
        self.screen(to)

    def no_dialog(self):
        wait_for("the dialog to go", lambda: self.find(DIALOG) is None)


def start_app(app_binary, phone, device):
    env = dict(os.environ)
    env.update({
        "BRINDLEX_DEVICE_ROOT": device,
        "QT_QPA_PLATFORM": "xcb",
        "QT_ACCESSIBILITY": "1",
        "QT_LINUX_ACCESSIBILITY_ALWAYS_ON": "1",
        "LANG": "C.UTF-8",
        "LC_ALL": "C.UTF-8",
        "LANGUAGE": "",
        "XDG_RUNTIME_DIR": device,
    })
    for args in (["init"], ["demo"]):
        subprocess.run([phone] + args, env=env, check=True, stdout=subprocess.DEVNULL, timeout=60)
    return subprocess.Popen([app_binary], env=env, preexec_fn=end_with_us)


def find_app(process):
    def app():
        if process.poll() is not None:
            raise SystemExit("the app ended with status %d" % process.returncode)
        desktop = pyatspi.Registry.getDesktop(0)
        for i in range(desktop.childCount):
            candidate = desktop.getChildAtIndex(i)
            if candidate is not None and candidate.get_process_id() == process.pid:
                return candidate
        return None
    root = wait_for("the app on the accessibility bus", app, timeout=30)
    # Rows are reused and recounted: read every name fresh.
    root.set_cache_mask(Atspi.Cache.NONE)
    return App(root)


def walk_main(app, reached):
    app.screen("Ledgerwick")
    # Names are read at once: a row's element may show another row later.
    # The screen fills in once the period is computed: dates in the box.
    period = wait_for("the period's dates", lambda: next(
        (name for name in [app.element(PUSH, prefix="From ").name] if any(c.isdigit() for c in name)), None))
    total = app.element(PUSH, prefix="Total Messages: ").name
    rows = [acc.name for acc in app.all(PUSH)]
    for wanted in ("Preferences", "About", "Chart", "Report"):
        if wanted not in rows:
            raise WalkFailed("main screen lacks %s: %s" % (wanted, rows))
    reached["main"] = "buttons %s; period %r; %s" % (
        ", ".join(r for r in rows if r and ":" not in r and not r.startswith("From")), period, total)


def walk_message_list(app, reached):
    press(app.element(PUSH, prefix="Total Messages: "))
    app.element(PUSH, "Email Data")
    first = app.element(ITEM, what="a message row")
    if not any(first.name.startswith(d) for d in ("Received, ", "Sent, ")):
        raise WalkFailed("a message row says " + first.name)
    reached["message-list"] = "%d rows in view, first: %s; Email Data" % (len(app.all(ITEM)), first.name)
    app.back("Ledgerwick")


def walk_about(app, reached):
    press(app.element(PUSH, "About"))
    app.screen("About")
    feedback = app.element(PUSH, prefix="Send Feedback")
    texts = [acc.name for acc in app.all(LABEL) if acc.name]
    reached["about"] = "%s; %d texts (%s)" % (feedback.name, len(texts), texts[0][:40] if texts else "")
    app.back("Ledgerwick")


def value_of(acc):
    """The Value interface of a spin button: current, minimum, maximum, step."""
    value = acc.queryValue()
    return value.currentValue, value.minimumValue, value.maximumValue, value.minimumIncrement


def set_value(acc, number):
    acc.queryValue().currentValue = number


# What a screen reader was told of values that changed: (name, value).
HEARD_VALUES = []


def hear_value(event):
    try:
        HEARD_VALUES.append((event.source.name, event.source.queryValue().currentValue))
    except Exception:  # the element went away
        pass


def walk_period(app, reached):
    press(app.element(PUSH, prefix="From "))
    app.screen("Message period")
    app.element(PUSH, prefix="From")
    day = app.element(SPIN, "Day")
    before = day.description
    act(day, "increase")
    wait_for("the day wheel to turn", lambda: app.element(SPIN, "Day").description != before)
    # A screen reader reads the wheels' numbers and sets one by typing it.
    current, low, high, step = value_of(app.element(SPIN, "Month"))
    if not (low == 1 and high == 12 and step == 1 and 1 <= current <= 12):
        raise WalkFailed("the month wheel's value is %r" % ((current, low, high, step),))
    day_value = value_of(app.element(SPIN, "Day"))
    if not (day_value[1] == 1 and 28 <= day_value[2] <= 31):
        raise WalkFailed("the day wheel's value is %r" % (day_value,))
    target = 2 if day_value[0] != 2 else 3
    set_value(app.element(SPIN, "Day"), target)
    wait_for("the day wheel to take the value %d" % target,
             lambda: value_of(app.element(SPIN, "Day"))[0] == target and
             app.element(SPIN, "Day").description == str(target))
    wait_for("a screen reader to be told the day is %d" % target, lambda: ("Day", target) in HEARD_VALUES)
    wheels = ["%s=%s" % (w.name, w.description) for w in app.all(SPIN)]
    reached["period"] = ("rows From/To; wheels %s (Day turned from %s, then set to %d; Month %g of %g..%g)"
                         "; Escape cancels" % (", ".join(wheels), before, target, current, low, high))
    app.back("Ledgerwick")


def walk_person(app, reached):
    press(app.element(PUSH, prefix="Person: "))
    app.screen("Select Person")
    everyone = app.element(PUSH, prefix="All")
    # A first launch: the launch's sync copied the demo year, and its people
    # are listed without a second sync.
    people = wait_for("people beside All", lambda: [
        acc.name for acc in app.all(PUSH) if acc.name and acc.name not in ("Back", "All")])
    reached["person"] = "All and %d+ people in view (%s ...)" % (len(people), ", ".join(people[:3]))
    press(everyone)  # choosing a person goes back by itself
    app.screen("Ledgerwick")
    app.element(PUSH, "Person: All")


def walk_exclusions(app, reached):
    press(app.element(PUSH, prefix="Exclusions: "))
    app.screen("Exclusions")
    app.element(None, "None")
    edit = app.element(PUSH, "Edit")
    press(edit)
    app.element(PUSH, "Done")
    add = app.element(PUSH, prefix="Add a excluded number")
    press(add)
    app.screen("Excluded Numbers")
    field = app.element(TEXT, what="the number field")
    if field.name != "Num":
        raise WalkFailed("the number field is named %r" % field.name)
    reached["exclusions"] = "row None; Edit pressed; %s pressed; pushed Excluded Numbers with field %r (%s)" % (
        add.name, field.name, field.description)
    app.back("Exclusions")
    app.back("Ledgerwick")


def walk_preferences(app, reached):
    left_before = app.element(None, prefix="Messages Left").name
    press(app.element(PUSH, "Preferences"))
    app.screen("Preferences")
    press(app.element(PUSH, prefix="SMS Quota"))
    wait_for("the quota field to take the keyboard",
             lambda: app.find(TEXT) and app.find(TEXT).getState().contains(pyatspi.STATE_FOCUSED))
    field = app.find(TEXT)
    labels = [relation.getTarget(i).name for relation in field.getRelationSet()
              if relation.getRelationType() == pyatspi.RELATION_LABELLED_BY
              for i in range(relation.getNTargets())]
    if field.name != "SMS Quota" or field.description != "0 or blank for unlimited" or labels != ["SMS Quota"]:
        raise WalkFailed("the quota field says %r, %r, labelled by %r" % (field.name, field.description, labels))
    heard_field = "%s, %s, labelled by %s" % (field.name, field.description, labels[0])
    key(KEY_END)
    for _ in range(8):
        key(KEY_BACKSPACE)
    type_text("37")
    key(KEY_RETURN)
    wait_for("the field to hold 37", lambda: app.find(TEXT).queryText().getText(0, -1) == "37")

    billing_before = app.element(PUSH, prefix="Billing day").name
    press(app.element(PUSH, prefix="Billing day"))
    billing = app.element(SPIN, "Billing day")
    day_before = billing.description
    key(KEY_PAGE_DOWN)
    wait_for("the billing day wheel to turn with Page Down",
             lambda: app.element(SPIN, "Billing day").description != day_before)
    day_after = app.element(SPIN, "Billing day").description
    billing_row = wait_for("the billing row to follow the wheel",
                           lambda: app.element(PUSH, prefix="Billing day").name != billing_before and
                           app.element(PUSH, prefix="Billing day").name)
    # Set as a number: the day itself, 0 for "Not Used".
    _, low, high, _ = value_of(app.element(SPIN, "Billing day"))
    if (low, high) != (0, 31):
        raise WalkFailed("the billing day wheel runs %g..%g" % (low, high))
    set_value(app.element(SPIN, "Billing day"), 15)
    set_row = wait_for("the billing row to show the 15th", lambda: next(
        (acc.name for acc in [app.element(PUSH, prefix="Billing day")] if acc.name.endswith("15th")), None))

    press(app.element(PUSH, "Clear database"))
    dialog = app.element(DIALOG, what="the clear-database question").name
    buttons = [acc.name for acc in app.all(PUSH) if acc.name in ("Cancel", "OK")]
    key(KEY_ESCAPE)
    app.no_dialog()
    reached["preferences"] = ("quota field heard as %r, 37 typed; billing day wheel %s -> %s by Page Down; row %r;"
                              " value 15 set: %r" % (heard_field, day_before, day_after, billing_row, set_row))
    reached["confirm-clear-db"] = "dialog %r with %s; Escape cancelled" % (dialog, buttons)

    app.back("Ledgerwick")
    changed = wait_for("Messages Left to follow the quota",
                       lambda: next((acc.name for acc in descendants(app.root)
                                     if (acc.name or "").startswith("Messages Left")
                                     and acc.name != left_before), None))
    reached["main"] += "; after quota: %s (was %s)" % (changed, left_before)


def walk_message_type_menu(app, reached):
    press(app.element(PUSH, prefix="Message Type: "))
    dialog = app.element(DIALOG, what="the message type menu").name
    buttons = [acc.name for acc in app.all(PUSH) if acc.name in ("Both", "Received", "Sent", "Cancel")]
    key(KEY_DOWN)
    key(KEY_RETURN)
    app.no_dialog()
    app.element(PUSH, "Message Type: Received")
    press(app.element(PUSH, prefix="Message Type: "))
    press(app.element(PUSH, "Both"))
    app.no_dialog()
    app.element(PUSH, "Message Type: Both")
    reached["message-type-menu"] = "dialog %r with %s; Down+Return chose Received, Both pressed back" % (
        dialog, buttons)


def walk_chart(app, reached):
    press(app.element(PUSH, "Chart"))
    app.screen("Pie Chart")
    pie = app.element(CHART, "Pie chart")
    wedges = [acc.name for acc in app.all(IMAGE) if ": " in (acc.name or "")]
    if not wedges or not pie.description:
        raise WalkFailed("the pie says nothing: %r %r" % (pie.description, wedges))
    press(app.element(PUSH, "Bar Chart"))
    app.screen("Bar Chart")
    bars = app.element(CHART, "Bar chart")
    bar_names = [acc.name for acc in app.all(IMAGE) if ": " in (acc.name or "")]
    reached["chart"] = "pie %r, %d wedges (%s); bar chart %d bars (%s)" % (
        pie.description[:60], len(wedges), wedges[0], len(bar_names), bars.description[:40])
    app.back("Pie Chart")
    app.back("Ledgerwick")


def walk_report(app, reached):
    press(app.element(PUSH, "Report"))
    app.screen("Report")
    app.element(LABEL, "Month, Incoming, Outgoing")
    app.element(LABEL, prefix="Total: Incoming ")
    texts = [acc.name for acc in app.all(LABEL)]
    months = [name for name in texts if ": Incoming " in name and not name.startswith("Total")]
    bare = [name for name in texts if name.strip().isdigit()]
    if not months or bare:
        raise WalkFailed("the report reads %r" % texts)
    reached["report"] = "%d rows, e.g. %r ... %r" % (len(texts), months[0], texts[-1])
    app.back("Ledgerwick")


def main():
    app_binary, phone = sys.argv[1], sys.argv[2]
    device = tempfile.mkdtemp(prefix="brindlex-a11y-")
    print("display", os.environ.get("DISPLAY"), flush=True)
    pyatspi.Registry.registerEventListener(hear_value, "object:property-change:accessible-value")
    process = start_app(app_binary, phone, device)
    reached = {}
    failure = None
    try:
        app = find_app(process)
        for step in (walk_main, walk_message_list, walk_about, walk_period, walk_person, walk_exclusions,
                     walk_preferences, walk_message_type_menu, walk_chart, walk_report):
            step(app, reached)
            print("walked", step.__name__[len("walk_"):], flush=True)
    except WalkFailed as failed:
        failure = "%s\n%s" % (failed, traceback.format_exc())
    finally:
        process.terminate()
        try:
            process.wait(timeout=10)
        except subprocess.TimeoutExpired:
            process.kill()
        if xvfb_process:
            xvfb_process.terminate()
        shutil.rmtree(device, ignore_errors=True)
    for screen, what in reached.items():
        print("%-18s %s" % (screen, what))
    if failure:
        print("FAILED:", failure, file=sys.stderr)
        sys.exit(1)


if __name__ == "__main__":
    main()
