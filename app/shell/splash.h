#pragma once

#include <QSplashScreen>

namespace doseplex::app {

// The start-up picture: closes itself after five seconds, or at once on the
// first key or mouse button press anywhere in the program.
class CSplash final : public QSplashScreen {
    Q_OBJECT
public:
    static constexpr int kShowMs = 5000;
    CSplash();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};

} // namespace doseplex::app
