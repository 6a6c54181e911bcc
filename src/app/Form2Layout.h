#pragma once

#include <QRectF>

// The main window's design rectangles, in twips, of the components that move or stretch with
// the window's width, and the rules that re-arrange them.
struct Form2Layout {
    QRectF browser{405, 1440, 19590, 5775};
    QRectF shortcutsFrame{495, 9315, 19590, 1050};
    QRectF pagesFrame{450, 7425, 11850, 1815};
    QRectF pageList{405, 1035, 8610, 315};
    QRectF loadButton{9180, 945, 465, 420};
    QRectF setFrontButton{9810, 945, 1950, 420};
    QRectF setDownloadButton{11790, 945, 1995, 420};
    QRectF editButton{13950, 945, 2175, 420};
    QRectF hiddenButton{17910, 945, 1635, 420}; // never shown; the help link is placed after it
    QRectF helpLink{16830, 1035, 735, 240};

    // The narrowest window at which the buttons still follow the page list inside the window.
    static constexpr double kMinimumWidth = 11100;

    // Re-arranges for a window of the given outer width, in single precision as designed.
    void applyResizeRules(double outerWidth);
};
