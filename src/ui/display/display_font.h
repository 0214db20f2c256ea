#pragma once
// Fonts of the drawn views. Sizes are points, turned into pixels with the
// screen's twips per pixel (a point is 20 twips), so text painted on an
// image is as large as on the screen whatever DPI the image carries.

#include <QFont>
#include <QString>

namespace varn {

// round(points x 20 / TwipsPerPixel()), at least 1.
int PointsToPixels(double points);
// `family` at `points`; an empty family means the UI face.
QFont DisplayFont(const QString& family, double points);
// The UI face (UiFace): never the application font's own family, which
// fontconfig resolves by what else is installed.
QString DefaultDisplayFontFamily();

}  // namespace varn
