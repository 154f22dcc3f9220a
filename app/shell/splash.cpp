#include "app/shell/splash.h"

#include "app/platform/pictures.h"

#include <QApplication>
#include <QTimer>

namespace doseplex::app {

CSplash::CSplash() : QSplashScreen(SplashPicture()) {
    setAttribute(Qt::WA_DeleteOnClose);
    qApp->installEventFilter(this);
    QTimer::singleShot(kShowMs, this, &QWidget::close);
}

bool CSplash::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
    case QEvent::KeyPress:
    case QEvent::MouseButtonPress:
    case QEvent::NonClientAreaMouseButtonPress:
        close();
        break;
    default:
        break;
    }
    return QSplashScreen::eventFilter(watched, event);
}

} // namespace doseplex::app
