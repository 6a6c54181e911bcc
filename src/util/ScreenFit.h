#pragma once

#include <QList>
#include <QMargins>
#include <QPoint>
#include <QRect>
#include <QSize>

// Window sizes and places on a screen's available area. A window's frame is only known once the
// window manager has drawn it, so room is kept for a usual title bar and borders.
namespace ScreenFit {

// A title bar of about 30 pixels and thin borders.
inline constexpr QMargins kAssumedFrame{4, 32, 4, 4};

// The largest client size whose window, frame included, fits on the available area.
QSize room(const QRect& available);

// The wanted client size, no larger than the room.
QSize fitted(const QSize& wanted, const QRect& available);

// Where to move a window of the given client size (the top-left of its frame) so it sits centred
// on the available area, never above or left of it.
QPoint centred(const QSize& client, const QRect& available);

// The longest extent up to the limit: all that is wanted when it fits, else the furthest break
// (a place between lines) that fits, so a scrolled view ends between lines instead of through
// one. The limit itself when no break fits.
int cutAtBreak(int wanted, int limit, const QList<int>& breaks);

} // namespace ScreenFit
