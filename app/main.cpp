#include "app/shell/application.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Labwerk"));
    QApplication::setApplicationName(QStringLiteral("DosePlex"));
    QApplication::setApplicationVersion(QStringLiteral(DOSEPLEX_VERSION));
    return doseplex::app::RunApplication(application);
}
