#!/usr/bin/python3
"""Drives the real doseplex program from outside, as a screen reader would:
through the desktop accessibility interface (AT-SPI) on a virtual X server.

Used by the end-to-end test (e2e_gui.py) and by scripts/screenshots. Run it
inside a private session bus (dbus-run-session)."""

import os
import shutil
import subprocess
import sys
import tempfile
import time

import pyatspi




class DriverError(Exception):
    pass


def wait_for(what, condition, timeout=20.0, step=0.1):
    """Polls `condition` until it returns something true; raises after the
    deadline."""
    deadline = time.monotonic() + timeout
    while True:
        try:
            value = condition()
        except Exception:  # the accessible tree changes under our feet
            value = None
        if value:
            return value
        if time.monotonic() > deadline:
            raise DriverError("timed out waiting for " + what)
        time.sleep(step)


def plain(name):
    """A menu text as the accessibility interface shows it, without the
    shortcut after a TAB and without trailing blanks."""
    return (name or "").split("\t")[0].replace("&", "").strip()


class Session:
    """A virtual X server, the accessibility bus and one doseplex process."""

    def __init__(self, program, arguments, workdir, width=1280, height=1024):
        self.program = program
        self.arguments = arguments
        self.workdir = workdir
        self.width = width
        self.height = height
        self.xvfb = None
        self.app_process = None
        self.display = None
        self.helpers = []

    def __enter__(self):
        read_end, write_end = os.pipe()
        self.xvfb = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_end), "-screen", "0",
             "%dx%dx24" % (self.width, self.height), "-nolisten", "tcp", "-noreset"],
            pass_fds=(write_end,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write_end)
        number = b""
        deadline = time.monotonic() + 20
        while not number.endswith(b"\n") and time.monotonic() < deadline:
            chunk = os.read(read_end, 16)
            if not chunk:
                break
            number += chunk
        os.close(read_end)
        if not number.strip():
            raise DriverError("Xvfb did not start")
        self.display = ":" + number.decode().strip()
        # Qt does not start the accessibility bus itself.
        subprocess.run(["dbus-send", "--session", "--print-reply", "--dest=org.a11y.Bus",
                        "/org/a11y/bus", "org.a11y.Bus.GetAddress"],
                       check=True, stdout=subprocess.DEVNULL, timeout=30)
        home = os.path.join(self.workdir, "home")
        runtime = os.path.join(self.workdir, "runtime")
        os.makedirs(home, exist_ok=True)
        os.makedirs(runtime, mode=0o700, exist_ok=True)
        env = dict(os.environ)
        env.update({
            "DISPLAY": self.display,
            "QT_QPA_PLATFORM": "xcb",
            "QT_LINUX_ACCESSIBILITY_ALWAYS_ON": "1",
            "HOME": home,
            "XDG_CONFIG_HOME": os.path.join(home, ".config"),
            "XDG_RUNTIME_DIR": runtime,
        })
        # The sanitizer run checks leaks in the in-process tests; the X and
        # D-Bus client libraries keep allocations of their own until exit.
        env["ASAN_OPTIONS"] = env.get("ASAN_OPTIONS", "") + ":detect_leaks=0"
        os.environ["DISPLAY"] = self.display
        self.app_process = subprocess.Popen([self.program] + self.arguments, env=env,
                                            cwd=self.workdir)
        return self

    def __exit__(self, *exc):
        for helper in self.helpers:
            if helper.poll() is None:
                helper.kill()
                helper.wait()
        if self.app_process and self.app_process.poll() is None:
            self.app_process.kill()
            self.app_process.wait()
        if self.xvfb:
            self.xvfb.terminate()
            self.xvfb.wait()
        return False

    # --- Finding things -------------------------------------------------------

    def application(self):
        pid = self.app_process.pid

        def find():
            desktop = pyatspi.Registry.getDesktop(0)
            for app in desktop:
                if app is not None and app.get_process_id() == pid:
                    return app
            return None
        return wait_for("the application on the accessibility bus", find, timeout=30)

    def main_window(self):
        return wait_for("the main window", lambda: next(
            (w for w in self.application() if w.getRoleName() == "frame"), None))

    def screenshot(self, path):
        subprocess.run(["import", "-display", self.display, "-window", "root", path],
                       check=False, timeout=60)

    def key(self, *keys):
        subprocess.run(["xdotool", "key", "--delay", "50"] + list(keys), check=True, timeout=30)

    def double_click(self, accessible):
        x, y, w, h = accessible.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
        subprocess.run(["xdotool", "mousemove", str(x + min(w // 2, 30)), str(y + h // 2),
                        "click", "--repeat", "2", "--delay", "80", "1"], check=True, timeout=30)

    def press_menu(self, *path):
        """Presses a menu item without waiting: a modal dialog it opens would
        hold the reply back until a time-out."""
        self.helpers.append(subprocess.Popen([sys.executable, os.path.abspath(__file__), "press",
                          str(self.app_process.pid)] + list(path),
                         stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                         start_new_session=True))

    def menu_dialog(self, path, title, attempts=3, patience=10):
        """Presses the menu item `path` until the dialog `title` it opens is
        there. On a loaded machine a press can arrive before the window it
        acts on is active, and then does nothing; a dialog that did open
        makes the window modal, so a repeated press cannot open a second."""
        for attempt in range(attempts):
            self.press_menu(*path)
            try:
                return self.dialog(title, timeout=patience if attempt + 1 < attempts else 20)
            except DriverError:
                if attempt + 1 == attempts:
                    raise
        return None

    def dialog(self, title, timeout=20):
        def find():
            for window in self.application():
                if window.getRoleName() in ("dialog", "alert", "file chooser") and \
                        window.name == title:
                    return window
            return None
        return wait_for("the dialog \"%s\"" % title, find, timeout=timeout)

    def no_dialog(self, title):
        def gone():
            return all(w.name != title for w in self.application())
        wait_for("the dialog \"%s\" to close" % title, gone)

    def fill_file_dialog(self, title, path, button="Save"):
        dialog = self.dialog(title)
        entry = wait_for("the file name field", lambda: find_all(
            dialog, lambda a: a.getRoleName() == "text" and "file name" in (a.name or "").lower()
        )[0])
        entry.queryEditableText().setTextContents(path)
        wait_for("the name to be typed", lambda: entry.queryText().getText(0, -1) == path)
        press_button(dialog, button)
        self.no_dialog(title)

    def child_window(self, caption, timeout=30):
        frame = self.main_window()
        return wait_for("the window \"%s\"" % caption, lambda: find_all(
            frame, lambda a: a.getRoleName() in ("internal frame", "frame", "window")
            and a.name == caption)[0], timeout=timeout)


def find_all(root, match, limit=100000):
    """Every accessible under `root` (breadth first) for which `match` holds."""
    found = []
    queue = [root]
    seen = 0
    while queue and seen < limit:
        node = queue.pop(0)
        seen += 1
        try:
            if node is not root and match(node):
                found.append(node)
            # The raw-data grid has 50,000 cells; asking for each makes the
            # program keep an accessible object per cell, whose teardown
            # takes minutes when the grid closes. Such tables are not walked.
            if node.childCount <= 5000:
                queue.extend(child for child in node if child is not None)
        except Exception:
            continue
    return found


def press_button(root, name):
    button = wait_for("the button \"%s\"" % name, lambda: find_all(
        root, lambda a: a.getRoleName() == "push button" and plain(a.name) == name)[0])
    action = button.queryAction()
    for i in range(action.nActions):
        if action.getName(i) in ("Press", "press", "click"):
            action.doAction(i)
            return
    action.doAction(0)


def text_of(accessible):
    return accessible.queryText().getText(0, -1)


def contents_tree(session):
    frame = session.main_window()
    return wait_for("the contents tree", lambda: find_all(
        frame, lambda a: a.getRoleName() in ("tree", "tree table") and a.name == "Contents"))[0]


def tree_items(session):
    return find_all(contents_tree(session),
                    lambda a: a.getRoleName() in ("tree item", "table cell"))


def open_tree_item(session, label, after=None):
    """Double-clicks the tree item `label` (the first one after the item
    `after`, when given). An item scrolled out of sight is reached as a
    keyboard user does: typing its label in the tree, then Return."""
    def find():
        items = tree_items(session)
        names = [i.name for i in items]
        start = names.index(after) + 1 if after else 0
        return items[names.index(label, start)]
    item = wait_for("the tree item \"%s\"" % label, find)
    _, top, _, height = contents_tree(session).queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    _, y, _, h = item.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    if top <= y and y + h <= top + height:
        session.double_click(item)
        return
    if after:
        raise DriverError("the tree item \"%s\" is out of sight" % label)
    x0, y0, w0, h0 = tree_items(session)[0].queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    subprocess.run(["xdotool", "mousemove", str(x0 + 10), str(y0 + h0 // 2), "click", "1"],
                   check=True, timeout=30)
    subprocess.run(["xdotool", "type", "--delay", "30", label], check=True, timeout=30)
    session.key("Return")


def menu_child(node, name):
    """The item `name` of a menu: a direct child, or a child of the
    unnamed popup menu a menu bar item holds."""
    for child in node:
        if child is not None and plain(child.name) == name:
            return child
    for child in node:
        if child is not None and child.getRoleName() == "popup menu":
            found = menu_child(child, name)
            if found is not None:
                return found
    return None


def press_in_other_process(pid, path):
    """Helper mode: press the menu item at `path` of the application `pid`."""
    deadline = time.monotonic() + 20
    while time.monotonic() < deadline:
        for app in pyatspi.Registry.getDesktop(0):
            if app is None or app.get_process_id() != pid:
                continue
            node = next((w for w in app if w.getRoleName() == "frame"), None)
            node = next((c for c in node if c.getRoleName() == "menu bar"), None) if node else None
            for name in path:
                if node is None:
                    break
                node = menu_child(node, name)
            if node is not None:
                action = node.queryAction()
                action.doAction(0)
                return 0
        time.sleep(0.2)
    return 1


if __name__ == "__main__" and len(sys.argv) > 2 and sys.argv[1] == "press":
    sys.exit(press_in_other_process(int(sys.argv[2]), sys.argv[3:]))
