#include "ScreenFit.h"

#include <algorithm>

namespace ScreenFit {

QSize room(const QRect& available) {
    return available.size().shrunkBy(kAssumedFrame).expandedTo(QSize(0, 0));
}

QSize fitted(const QSize& wanted, const QRect& available) {
    return wanted.boundedTo(room(available));
}

QPoint centred(const QSize& client, const QRect& available) {
    const QSize outer = client.grownBy(kAssumedFrame);
    return available.topLeft() + QPoint(std::max(0, (available.width() - outer.width()) / 2),
                                        std::max(0, (available.height() - outer.height()) / 2));
}

int cutAtBreak(int wanted, int limit, const QList<int>& breaks) {
    if (wanted <= limit)
        return wanted;
    int best = -1;
    for (int b : breaks)
        if (b <= limit && b > best)
            best = b;
    return best > 0 ? best : limit;
}

} // namespace ScreenFit
