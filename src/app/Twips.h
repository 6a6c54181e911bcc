#pragma once

#include <QRect>
#include <cmath>

// Window positions are designed in twips: 1440 per inch, 15 per pixel at 96 dots per inch.
constexpr double kTwipsPerPixel = 15.0;

constexpr int twipsToPixels(double twips) {
    return static_cast<int>(twips / kTwipsPerPixel + (twips >= 0 ? 0.5 : -0.5));
}

constexpr QRect twipsRect(int left, int top, int width, int height) {
    return QRect(twipsToPixels(left), twipsToPixels(top), twipsToPixels(width),
                 twipsToPixels(height));
}
