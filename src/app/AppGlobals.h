#pragma once

#include <QString>

// Program-wide texts, set once when the main window loads.
inline QString ProductTitle;
inline QString BylineText;
inline const QString AppVersion = QStringLiteral("2.6");
