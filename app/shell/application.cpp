#include "app/shell/application.h"

#include "app/platform/app_settings.h"
#include "app/qsettings_store.h"
#include "app/shell/contents_tree.h"
#include "app/shell/main_window.h"
#include "app/shell/splash.h"
#include "core/settings.h"

#include <QApplication>
#include <QPointer>
#include <QScreen>

namespace doseplex::app {

int RunApplication(QApplication& application) {
    CQSettingsStore store;
    WriteProgramPath(store, QCoreApplication::applicationFilePath().toStdString());
    CAppSettings settings(store);
    CMainWindow window(settings);
    const CCommandLine commandLine = ParseCommandLine(application.arguments().mid(1));
    const bool splash = window.StartWith(commandLine);
    // Without a window manager a maximised window keeps its own size: start
    // at the size of the screen, so it fills the screen either way.
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        window.resize(screen->availableGeometry().size());
    }
    window.showMaximized();
    window.Tree()->setFocus();
    QPointer<CSplash> picture;
    if (splash && !window.isMinimized()) {
        picture = new CSplash;
        picture->show();
    }
    const int code = application.exec();
    settings.Save();
    store.Sync();
    return code;
}

} // namespace doseplex::app
