#pragma once
// Lengths of the stored layouts are in twips (1/1440 inch); the screen's logical DPI turns them
// into pixels (15 twips per pixel at 96 DPI).
#include <QPaintDevice>
#include <QRect>
#include <cmath>

namespace bf::ui {

// Twips to whole pixels at dpi dots per inch, to the nearest pixel.
inline int twipsToPixels(double twips, int dpi) { return static_cast<int>(std::lround(twips * dpi / 1440.0)); }

inline int twipsToPxX(const QPaintDevice& device, double twips) { return twipsToPixels(twips, device.logicalDpiX()); }
inline int twipsToPxY(const QPaintDevice& device, double twips) { return twipsToPixels(twips, device.logicalDpiY()); }
inline double pxToTwipsX(const QPaintDevice& device, double px) { return px * 1440.0 / device.logicalDpiX(); }

inline QRect twipsRect(const QPaintDevice& device, double left, double top, double width, double height)
{
    return QRect(twipsToPxX(device, left), twipsToPxY(device, top), twipsToPxX(device, width),
                 twipsToPxY(device, height));
}

} // namespace bf::ui
