#pragma once

#include <QString>

// A PHP string literal in single quotes that holds text exactly, whatever quotes, backslashes,
// dollars or "?>" it contains.
inline QString PhpSingleQuoted(QString text) {
    text.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
    text.replace(QLatin1Char('\''), QStringLiteral("\\'"));
    return QLatin1Char('\'') + text + QLatin1Char('\'');
}
