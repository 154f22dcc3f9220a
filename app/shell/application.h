#pragma once

class QApplication;

namespace doseplex::app {

// Starts the program in a created QApplication: settings, main window,
// command line, splash; runs the event loop and returns its exit code.
int RunApplication(QApplication& application);

} // namespace doseplex::app
