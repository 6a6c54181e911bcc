#pragma once

#include <QRectF>

// The main window's design rectangles, in twips, of the components that move or stretch with
// the window's size, and the rules that re-arrange them.
struct Form2Layout {
    QRectF browser{405, 1440, 19590, 5775};
    QRectF shortcutsFrame{495, 9315, 19590, 1050};
    QRectF pagesFrame{450, 7425, 11850, 1815};
    QRectF convertButton{12465, 7650, 7485, 1455};
    QRectF pageList{405, 1035, 8610, 315};
    QRectF loadButton{9180, 945, 465, 420};
    QRectF setFrontButton{9810, 945, 1950, 420};
    QRectF setDownloadButton{11790, 945, 1995, 420};
    QRectF editButton{13950, 945, 2175, 420};
    QRectF hiddenButton{17910, 945, 1635, 420}; // never shown; the help link is placed after it
    QRectF helpLink{16830, 1035, 735, 240};

    // The narrowest window at which the buttons still follow the page list inside the window.
    static constexpr double kMinimumWidth = 11100;
    // The window as it opens where the screen allows: client width and height.
    static constexpr double kDesignWidth = 20500;
    static constexpr double kDesignHeight = 10815;
    // The shortest window, for screens of 720 pixels less a panel; the browser gives up the rest.
    static constexpr double kMinimumHeight = 9450;
    static constexpr double kSmallestBrowser = 1500;

    // Re-arranges for a window of the given outer width, in single precision as designed.
    void applyResizeRules(double outerWidth);

    // Below the design height the browser gives up height and everything under it moves up.
    void fitHeight(double clientHeight);

    // After the width rules, for a window narrower than designed: the help link stays inside the
    // window and the Convert button ends at the pages frame's edge, narrowing to no less than its
    // minimum width; the page list gives up width so the buttons end before the link. Nothing
    // moves at the design width or wider.
    void fitWidth(double outerWidth, double convertMinimumWidth);
};
