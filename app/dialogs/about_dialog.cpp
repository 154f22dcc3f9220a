#include "app/dialogs/about_dialog.h"

#include "app/platform/pictures.h"

#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QLabel>
#include <QVBoxLayout>

namespace doseplex::app {

CAboutDialog::CAboutDialog(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("About DosePlex"));
    auto* picture = new QLabel;
    picture->setPixmap(SplashPicture());
    picture->setAccessibleName(QStringLiteral("DosePlex"));
    auto* name = new QLabel(
        QStringLiteral("<b>DosePlex</b> version %1").arg(QCoreApplication::applicationVersion()));
    auto* about = new QLabel(QStringLiteral("Quantitative dose-effect analysis: median-effect "
                                            "fit, combination index and dose reduction index."));
    about->setWordWrap(true);
    auto* link = new QLabel(QStringLiteral("<a href=\"%1\">%1</a>").arg(kWebAddress));
    link->setOpenExternalLinks(true);
    link->setTextInteractionFlags(Qt::TextBrowserInteraction);
    link->setAccessibleName(QString::fromUtf8(kWebAddress));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(picture);
    layout->addWidget(name);
    layout->addWidget(about);
    layout->addWidget(link);
    layout->addWidget(buttons);
}

} // namespace doseplex::app
