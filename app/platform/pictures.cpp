#include "app/platform/pictures.h"

#include <QCoreApplication>
#include <QPainter>
#include <QPainterPath>

namespace doseplex::app {

QPixmap SplashPicture() {
    QPixmap picture(420, 220);
    picture.fill(QColor(24, 64, 112));
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(QColor(250, 200, 60), 4));
    // A falling dose-effect curve as the emblem.
    QPainterPath curve;
    curve.moveTo(30, 60);
    curve.cubicTo(120, 60, 130, 180, 220, 180);
    painter.drawPath(curve);
    painter.setPen(Qt::white);
    QFont title = painter.font();
    title.setPointSize(28);
    title.setBold(true);
    painter.setFont(title);
    painter.drawText(QRect(160, 40, 250, 60), Qt::AlignLeft | Qt::AlignVCenter,
                     QStringLiteral("DosePlex"));
    QFont small = painter.font();
    small.setPointSize(10);
    small.setBold(false);
    painter.setFont(small);
    painter.drawText(QRect(160, 100, 250, 60), Qt::AlignLeft | Qt::TextWordWrap,
                     QStringLiteral("Dose-effect analysis\nversion %1")
                         .arg(QCoreApplication::applicationVersion()));
    return picture;
}

} // namespace doseplex::app
