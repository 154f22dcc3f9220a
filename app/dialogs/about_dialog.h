#pragma once

#include <QDialog>

namespace doseplex::app {

// The program's web address, shown in the about box and the Help menu.
inline constexpr const char* kWebAddress = "https://labwerk.example.org/doseplex";
inline constexpr const char* kSupportAddress = "https://labwerk.example.org/doseplex/support";

// "About DosePlex": the program's version and a link to its web page.
class CAboutDialog final : public QDialog {
    Q_OBJECT
public:
    explicit CAboutDialog(QWidget* parent = nullptr);
};

} // namespace doseplex::app
