#!/usr/bin/env bash
# Runs the end-to-end test of the doseplex program under a virtual X server
# inside a private session bus. Exits 77 (skipped) only when the tools it
# needs are not installed.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
for tool in Xvfb dbus-run-session dbus-send xdotool import; do
    if ! command -v "$tool" >/dev/null; then
        echo "skipped: $tool is not installed"
        exit 77
    fi
done
if ! /usr/bin/python3 -c 'import pyatspi' 2>/dev/null; then
    echo "skipped: python3-pyatspi is not installed"
    exit 77
fi
exec dbus-run-session -- /usr/bin/python3 "$here/e2e_gui.py" "$@"
