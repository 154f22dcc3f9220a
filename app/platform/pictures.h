#pragma once

#include <QPixmap>

namespace doseplex::app {

// The program's picture for the splash and the about box: its name, version
// and a dose-effect curve.
QPixmap SplashPicture();

} // namespace doseplex::app
