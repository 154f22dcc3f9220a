#!/usr/bin/python3
"""End-to-end test of the doseplex program: starts it on an example
experiment under a virtual X server, opens the summary report, a drug report
and the summary table through the contents tree, exports the report and the
table, exports a drug's graph as PNG and its data as text, saves the
experiment under a new name, and checks every file against the command
line's output for the same input; imports a text file into the raw-data grid
and saves it with the experiment; then changes an option, sees
the report follow, and exits through the "Save changes?" question.

Then, in a second run (e2e_drugs.py), drugs are entered by hand and with the
Add Drug Wizard.

Usage: e2e_gui.py DOSEPLEX DOSEPLEX_CLI SOURCE_DIR SCREENSHOT_DIR SHEET_EXPERIMENT"""

import json
import os
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import gui_driver as gd  # noqa: E402
import e2e_drugs  # noqa: E402


def cli_output(cli, *arguments):
    return subprocess.run([cli] + list(arguments), check=True, capture_output=True,
                          timeout=60).stdout


def shown(report_bytes):
    """A report file's text as the report window shows it."""
    return report_bytes.decode("cp1252").replace("\r\n", "\n")


def wait_file(path):
    return gd.wait_for("the file " + path, lambda: os.path.exists(path) and
                       os.path.getsize(path) > 0)


def check(condition, what):
    if not condition:
        raise gd.DriverError(what)


def main():
    program, cli, source, shots = sys.argv[1:5]
    work = tempfile.mkdtemp(prefix="doseplex-e2e-")
    experiment = os.path.join(work, "two-drug.dpx")
    cli_output(cli, "convert", os.path.join(source, "examples", "two-drug.txt"), "-o", experiment)

    with gd.Session(program, [experiment], work) as session:
        try:
            run(session, cli, work, experiment)
        except Exception:
            os.makedirs(shots, exist_ok=True)
            shot = os.path.join(shots, "e2e-failure.png")
            session.screenshot(shot)
            print("screenshot of the failure: " + shot, file=sys.stderr)
            raise
    e2e_drugs.run_drugs(program, cli, source, shots, sys.argv[5])
    print("end-to-end test passed")
    return 0


def fill_save_dialog(session, title, path):
    """The file dialog `title` once it shows its file name field (the
    Export Graph dialog and its file dialog share a title)."""
    def find():
        for window in session.application():
            if window.name == title and window.getRoleName() in ("dialog", "file chooser"):
                fields = gd.find_all(window, lambda a: a.getRoleName() == "text" and
                                     "file name" in (a.name or "").lower())
                if fields:
                    return window, fields[0]
        return None
    dialog, entry = gd.wait_for("the file dialog \"%s\"" % title, find)
    entry.queryEditableText().setTextContents(path)
    gd.wait_for("the name to be typed", lambda: entry.queryText().getText(0, -1) == path)
    gd.press_button(dialog, "Save")
    session.no_dialog(title)


def export_graph(session, button, file_title, path):
    """File > Export... on the active graph window: the first graph of the
    list, then `button` and the file dialog."""
    session.press_menu("File", "Export...")
    dialog = session.dialog("Export Graph")
    entry = gd.wait_for("the first graph in the list", lambda: gd.find_all(
        dialog, lambda a: a.getRoleName() == "list item" and
        a.name.startswith("Median-effect plot"))[0])
    session.double_click(entry)
    gd.wait_for("the graph to be selected", lambda: entry.getState().contains(
        gd.pyatspi.STATE_SELECTED))
    gd.press_button(dialog, button)
    fill_save_dialog(session, file_title, path)
    wait_file(path)


def graphs(session, cli, work, experiment):
    """A drug's graphs from the tree: its first graph exported as PNG and its
    data as text, compared with the command line's files."""
    gd.open_tree_item(session, "Graphs", after="Exp1_DrugA")
    session.child_window("Exp1_DrugA Graphs")
    reference = os.path.join(work, "cli-graphs")
    cli_output(cli, "graphs", experiment, "--drug", "0", "-o", reference)
    cli_output(cli, "graphs", experiment, "--drug", "0", "-o", reference, "--data")
    picture = os.path.join(work, "graph.png")
    export_graph(session, "Export", "Export Graph", picture)
    check(open(picture, "rb").read() ==
          open(os.path.join(reference, "01-median-effect-plot.png"), "rb").read(),
          "the exported graph differs from the command line's")
    data = os.path.join(work, "graph-data.txt")
    export_graph(session, "Export Data", "Export Data", data)
    check(open(data, "rb").read() ==
          open(os.path.join(reference, "01-median-effect-plot.txt"), "rb").read(),
          "the exported graph data differ from the command line's")


def run(session, cli, work, experiment):
    session.main_window()

    gd.open_tree_item(session, "Summary Report")
    window = session.child_window("Summary Report")
    text = gd.find_all(window, lambda a: a.getRoleName() == "text")[0]
    expected = shown(cli_output(cli, "report", experiment, "--summary"))
    gd.wait_for("the summary report text", lambda: gd.text_of(text) == expected)

    gd.open_tree_item(session, "Report", after="Exp1_DrugB")
    window = session.child_window("Exp1_DrugB Report")
    text = gd.find_all(window, lambda a: a.getRoleName() == "text")[0]
    drug_report = cli_output(cli, "report", experiment, "--drug", "1")
    gd.wait_for("the drug report text", lambda: gd.text_of(text) == shown(drug_report))

    gd.open_tree_item(session, "Summary Table")
    window = session.child_window("Summary Table")
    gd.wait_for("the table's cells", lambda: gd.find_all(
        window, lambda a: a.name == "Exp1_DrugA" and "cell" in a.getRoleName()))

    table = os.path.join(work, "table.txt")
    session.menu_dialog(("File", "Export..."), "Export Raw Data Grid")
    session.fill_file_dialog("Export Raw Data Grid", table)
    wait_file(table)
    reference = os.path.join(work, "cli-table.txt")
    cli_output(cli, "summary-table", experiment, "-o", reference)
    check(open(table, "rb").read() == open(reference, "rb").read(),
          "the exported table differs from the command line's")

    # Opening the drug report again makes it the active window.
    gd.open_tree_item(session, "Report", after="Exp1_DrugB")
    session.child_window("Exp1_DrugB Report")
    session.menu_dialog(("File", "Export..."), "Export Report")
    session.fill_file_dialog("Export Report", os.path.join(work, "drug-report"))
    exported = os.path.join(work, "drug-report.txt")
    wait_file(exported)
    check(open(exported, "rb").read() == drug_report,
          "the exported report differs from the command line's")

    graphs(session, cli, work, experiment)

    renamed = os.path.join(work, "renamed.dpx")
    session.menu_dialog(("File", "Save As..."), "Save As")
    session.fill_file_dialog("Save As", renamed)
    wait_file(renamed)
    gd.wait_for("the new name in the tree",
                lambda: any(i.name == "renamed.dpx" for i in gd.tree_items(session)))
    before = json.loads(cli_output(cli, "analyse", experiment))
    after = json.loads(cli_output(cli, "analyse", renamed))
    check(before == after, "the saved experiment analyses differently")

    raw_data_steps(session, work, renamed)

    # Options through its labelled fields: every open report follows.
    gd.open_tree_item(session, "Summary Report")
    window = session.child_window("Summary Report")
    dialog = session.menu_dialog(("Setup", "Options..."), "Options")
    field = gd.wait_for("the field Value 1:", lambda: gd.find_all(
        dialog, lambda a: a.getRoleName() == "text" and a.name == "Value 1:")[0])
    check(gd.text_of(field) == "0.5", "Value 1: shows %r" % gd.text_of(field))
    field.queryEditableText().setTextContents("0.6")
    gd.press_button(dialog, "OK")
    session.no_dialog("Options")
    text = gd.find_all(window, lambda a: a.getRoleName() == "text")[0]
    gd.wait_for("the refreshed summary report", lambda: "\tED60\t" in gd.text_of(text))

    # The changed experiment is not closed without a question.
    alert = session.menu_dialog(("File", "Exit"), "DosePlex")
    check(any(a.name == "Save changes?" for a in gd.find_all(alert, lambda a: True)),
          "the exit question is not \"Save changes?\"")
    gd.press_button(alert, "Discard")
    code = gd.wait_for("the program to exit", lambda: session.app_process.poll() is not None
                       and [session.app_process.returncode])[0]
    check(code == 0, "the program exited with code %d" % code)


def raw_data_steps(session, work, saved):
    """A plate in a text file imported into the raw-data grid through File >
    Import Raw Data..., and saved with the experiment."""
    plate = os.path.join(work, "plate.txt")
    with open(plate, "w", newline="") as out:
        out.write("PlateReader-7\tDose\r\n0.5\t0.25\r\n")
    gd.open_tree_item(session, "Raw Data")
    session.child_window("Raw Data Grid")
    session.press_menu("File", "Import Raw Data...")
    session.dialog("Import Raw Data")
    session.key("space")  # "Import from File" has the focus

    def file_dialog():
        # The chooser and the file dialog share their title: the file
        # dialog is the one with a file name field.
        for window in session.application():
            if window.name == "Import Raw Data":
                fields = gd.find_all(window, lambda a: a.getRoleName() == "text" and
                                     "file name" in (a.name or "").lower())
                if fields:
                    return fields[0]
        return None
    entry = gd.wait_for("the file dialog \"Import Raw Data\"", file_dialog)
    entry.queryEditableText().setTextContents(plate)
    gd.wait_for("the name to be typed", lambda: entry.queryText().getText(0, -1) == plate)
    session.key("Return")
    session.no_dialog("Import Raw Data")
    session.press_menu("File", "Save")
    gd.wait_for("the grid's cells in the saved experiment",
                lambda: b"PlateReader-7" in open(saved, "rb").read())


if __name__ == "__main__":
    try:
        sys.exit(main())
    except gd.DriverError as error:
        print("end-to-end test failed: %s" % error, file=sys.stderr)
        sys.exit(1)
