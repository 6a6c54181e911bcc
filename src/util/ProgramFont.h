#pragma once

#include <QFont>
#include <QStringList>

// The one font of every window, dialog and menu, set on the application once. The main window's
// places are designed for a small sans serif of the classic width; the platform's default sans
// serif is wider and would clip its labels.
inline QFont programFont() {
    QFont font;
    font.setFamilies({QStringLiteral("MS Sans Serif"), QStringLiteral("Liberation Sans"),
                      QStringLiteral("Arial")});
    font.setPointSizeF(8.25);
    font.setWeight(QFont::Normal);
    font.setStyle(QFont::StyleNormal);
    font.setUnderline(false);
    return font;
}
