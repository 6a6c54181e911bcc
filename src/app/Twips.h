#pragma once

#include <QRect>
#include <QRectF>

// Window positions are designed in twips: 1440 per inch, so 15 per pixel at 96 dots per inch.
// The scale follows the screen's logical resolution.
class TwipsScale {
public:
    explicit TwipsScale(double logicalDpi = 96.0) : pixelsPerTwip_(logicalDpi / 96.0 / 15.0) {}

    int toPixels(double twips) const { return qRound(twips * pixelsPerTwip_); }
    double toTwips(int pixels) const { return pixels / pixelsPerTwip_; }
    QRect toPixels(const QRectF& twips) const {
        return QRect(toPixels(twips.left()), toPixels(twips.top()), toPixels(twips.width()),
                     toPixels(twips.height()));
    }

private:
    double pixelsPerTwip_;
};
