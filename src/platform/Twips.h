#pragma once
// Layouts and sizes are given in twips, the unit the window's geometry was
// designed in: 15 to a pixel at the 96 dpi it was drawn for.

#include <QRect>
#include <QtGlobal>

namespace tavero::twips {

inline constexpr float kPerPixel = 15.0f;

inline int toPixels(double twips)
{
    return qRound(twips / double(kPerPixel));
}

inline float fromPixels(int pixels)
{
    return float(pixels) * kPerPixel;
}

inline QRect rect(double left, double top, double width, double height)
{
    return QRect(toPixels(left), toPixels(top), toPixels(width), toPixels(height));
}

} // namespace tavero::twips
