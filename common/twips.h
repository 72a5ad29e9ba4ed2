#pragma once

#include <QRect>

// The layout is designed in twips; 15 twips are one logical pixel.
namespace Twips {

constexpr int PerPixel = 15;

// Rounded to the nearest pixel; the designed values are all whole pixels.
constexpr int toPixels(double twips)
{
    const double pixels = twips / PerPixel;
    return int(pixels < 0 ? pixels - 0.5 : pixels + 0.5);
}

constexpr int fromPixels(int pixels)
{
    return pixels * PerPixel;
}

constexpr QRect rect(int left, int top, int width, int height)
{
    return QRect(toPixels(left), toPixels(top), toPixels(width), toPixels(height));
}

} // namespace Twips
