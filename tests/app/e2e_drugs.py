"""End-to-end steps of entering drugs by hand: a single drug with four points
through Drug Properties and Dose / Effect, then a two-drug combination through
the Add Drug Wizard from typed ranges of the raw-data sheet, undone and
redone; the experiment is saved and the new drugs' reports are compared with
the command line's reports of the saved file."""

import json
import os
import subprocess
import sys
import tempfile
import time

import pyatspi

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import gui_driver as gd  # noqa: E402

POINTS = [("1", "0.15"), ("2", "0.3"), ("4", "0.55"), ("8", "0.75")]
# The sheet: effects in column A, doses of the combination's first drug in B.
CELLS = ["A1=0.2", "A2=0.45", "A3=0.7", "A4=0.85", "B1=0.5", "B2=1", "B3=2", "B4=4"]


def cli_output(cli, *arguments):
    return subprocess.run([cli] + list(arguments), check=True, capture_output=True,
                          timeout=60).stdout


def check(condition, what):
    if not condition:
        raise gd.DriverError(what)


def showing(accessible):
    return accessible.getState().contains(pyatspi.STATE_SHOWING)


def field(root, name, role="text"):
    return gd.wait_for("the field \"%s\"" % name, lambda: [
        a for a in gd.find_all(root, lambda a: a.getRoleName() == role and a.name == name)
        if showing(a)][0])


def set_text(root, name, text):
    edit = field(root, name)
    edit.queryEditableText().setTextContents(text)
    gd.wait_for("\"%s\" in %s" % (text, name), lambda: gd.text_of(edit) == text)


def press(accessible):
    action = accessible.queryAction()
    for i in range(action.nActions):
        if action.getName(i) in ("Press", "press", "click", "Toggle", "toggle"):
            action.doAction(i)
            return
    action.doAction(0)


def type_into_window(title, text):
    subprocess.run(["xdotool", "search", "--sync", "--name", "^%s$" % title, "windowfocus",
                    "--sync", "type", "--delay", "30", text], check=True, timeout=30)


def tree_names(session):
    return [i.name for i in gd.tree_items(session)]


def run_drugs(program, cli, source, shots, helper):
    work = tempfile.mkdtemp(prefix="doseplex-e2e-drugs-")
    base = os.path.join(work, "base.dpx")
    cli_output(cli, "convert", os.path.join(source, "examples", "two-drug.txt"), "-o", base)
    experiment = os.path.join(work, "drugs.dpx")
    subprocess.run([helper, base, experiment] + CELLS, check=True, timeout=60)
    with gd.Session(program, [experiment], work) as session:
        try:
            steps(session, cli, shots, experiment)
        except Exception:
            os.makedirs(shots, exist_ok=True)
            shot = os.path.join(shots, "e2e-drugs-failure.png")
            session.screenshot(shot)
            print("screenshot of the failure: " + shot, file=sys.stderr)
            raise


def steps(session, cli, shots, experiment):
    session.main_window()

    # A single drug by hand.
    dialog = session.menu_dialog(("Drugs", "Add Drug Manually..."), "Drug Properties")
    set_text(dialog, "Name:", "Typed")
    set_text(dialog, "Units:", "mg")
    doses = field(dialog, "Doses", role="list")
    for count, (dose, effect) in enumerate(POINTS, start=1):
        gd.press_button(dialog, "New")
        entry = session.dialog("Dose / Effect")
        # The dose table's cells are not on the accessibility bus: the dose
        # is typed into the cell that has the focus when the dialog opens.
        type_into_window("Dose / Effect", dose)
        set_text(entry, "Effect", effect)
        gd.press_button(entry, "OK")
        session.no_dialog("Dose / Effect")
        gd.wait_for("%d doses in the list" % count, lambda: doses.childCount == count)
    os.makedirs(shots, exist_ok=True)
    time.sleep(0.5)
    session.screenshot(os.path.join(shots, "drug-properties.png"))
    gd.press_button(dialog, "OK")
    session.no_dialog("Drug Properties")
    gd.wait_for("the new drug in the tree", lambda: "Typed" in tree_names(session))

    # A combination of the first drug and the new one, from typed ranges.
    wizard = session.menu_dialog(("Drugs", "Add Drug Wizard..."), "Add Drug Wizard")
    set_text(wizard, "Enter the name of the Drug", "Mix")
    set_text(wizard, "Enter the Drug units", "mg")
    press(field(wizard, "Yes", role="radio button"))
    gd.press_button(wizard, "Next >")
    drug_list = field(wizard, "Select the drugs in the combination", role="list")
    items = gd.wait_for("the drug list", lambda: [drug_list[i] for i in
                                                  range(drug_list.childCount)])
    names = [item.name for item in items]
    for name in ("Exp1_DrugA", "Typed"):
        item = items[names.index(name)]
        press(item)
        gd.wait_for(name + " selected",
                    lambda: item.getState().contains(pyatspi.STATE_SELECTED))
    ratio = field(wizard, "Enter the ratio")
    gd.wait_for("the ratio 1:1", lambda: gd.text_of(ratio) == "1:1")
    set_text(wizard, "Enter the ratio", "1:2")
    gd.press_button(wizard, "Next >")
    set_text(wizard, "Exp1_DrugA", "B1..B4")
    set_text(wizard, "Effect", "A1..A4")
    gd.press_button(wizard, "Finish")
    session.no_dialog("Add Drug Wizard")
    gd.wait_for("the combination in the tree", lambda: "Mix" in tree_names(session))

    # Undo and redo the combination.
    session.press_menu("Edit", "Undo")
    gd.wait_for("the combination undone", lambda: "Mix" not in tree_names(session))
    session.press_menu("Edit", "Redo")
    gd.wait_for("the combination back", lambda: "Mix" in tree_names(session))

    modified = os.path.getmtime(experiment)
    session.press_menu("File", "Save")
    gd.wait_for("the experiment saved", lambda: os.path.getmtime(experiment) != modified)

    saved = json.loads(cli_output(cli, "analyse", experiment))["drugs"]
    check([d["name"] for d in saved][-2:] == ["Typed", "Mix"], "the saved drugs")
    check(len(saved[-2]["points"]) == 4, "the typed drug's points")
    check(saved[-1]["components"] == [0, len(saved) - 2] and saved[-1]["ratio"] == [1, 2],
          "the combination's drugs and ratio")
    for name in ("Typed", "Mix"):
        drug = [d["name"] for d in saved].index(name)
        gd.open_tree_item(session, "Report", after=name)
        window = session.child_window(name + " Report")
        text = gd.find_all(window, lambda a: a.getRoleName() == "text")[0]
        expected = cli_output(cli, "report", experiment, "--drug", str(drug))
        expected = expected.decode("cp1252").replace("\r\n", "\n")
        gd.wait_for("the report of " + name, lambda: gd.text_of(text) == expected)

    # The saved experiment closes without a question. A press that reaches
    # the menu before it is ready is repeated.
    for attempt in range(3):
        session.press_menu("File", "Exit")
        try:
            gd.wait_for("the program to exit",
                        lambda: session.app_process.poll() is not None, timeout=10)
            break
        except gd.DriverError:
            check(not any(w.getRoleName() == "alert" for w in session.application()),
                  "a question on exit after saving")
    code = gd.wait_for("the program to exit", lambda: session.app_process.poll() is not None
                       and [session.app_process.returncode])[0]
    check(code == 0, "the program exited with code %d" % code)
