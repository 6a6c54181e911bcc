#include "PluginHeader.h"

#include <QRegularExpression>
#include <QStringList>

QString BuildPluginHeader(const PluginDetails& d, const QString& textDomain) {
    return QStringList{QStringLiteral("<?php"),
                       QStringLiteral("/*"),
                       QStringLiteral("Plugin Name: ") + OneLine(d.name),
                       QStringLiteral("Plugin URI: ") + OneLine(d.uri),
                       QStringLiteral("Description: ") + OneLine(d.description),
                       QStringLiteral("Version: ") + OneLine(d.version),
                       QStringLiteral("Requires at least: ") + QLatin1String(kRequiresWordPress),
                       QStringLiteral("Requires PHP: ") + QLatin1String(kRequiresPhp),
                       QStringLiteral("Author: ") + OneLine(d.author),
                       QStringLiteral("Author URI: ") + OneLine(d.authorUri),
                       QStringLiteral("License: ") + OneLine(d.license),
                       QStringLiteral("Text Domain: ") + OneLine(textDomain),
                       QStringLiteral("*/"),
                       QStringLiteral("?>")}
        .join(QLatin1Char('\n'));
}

QString OneLine(const QString& value) {
    static const QRegularExpression lineBreak(QStringLiteral("\r\n|\r|\n"));
    return QString(value).replace(lineBreak, QStringLiteral(" "));
}

QString WithLineFeeds(const QString& text) {
    if (!text.contains(QLatin1Char('\r')))
        return text;
    static const QRegularExpression lineBreak(QStringLiteral("\r\n?"));
    return QString(text).replace(lineBreak, QStringLiteral("\n"));
}
