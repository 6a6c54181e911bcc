#include "PluginHeader.h"

#include <QRegularExpression>
#include <QStringList>

QString BuildPluginHeader(const QString& name, const QString& uri, const QString& description,
                          const QString& version, const QString& author, const QString& authorUri,
                          const QString& license) {
    return QStringList{QStringLiteral("<?php"),
                       QStringLiteral("/*"),
                       QStringLiteral("Plugin Name: ") + OneLine(name),
                       QStringLiteral("Plugin URI: ") + OneLine(uri),
                       QStringLiteral("Description: ") + OneLine(description),
                       QStringLiteral("Version: ") + OneLine(version),
                       QStringLiteral("Author: ") + OneLine(author),
                       QStringLiteral("Author URI: ") + OneLine(authorUri),
                       QStringLiteral("License: ") + OneLine(license),
                       QStringLiteral("*/"),
                       QStringLiteral("?>")}
        .join(QStringLiteral("\r\n"));
}

QString BuildPluginHeader(const PluginDetails& d) {
    return BuildPluginHeader(d.name, d.uri, d.description, d.version, d.author, d.authorUri,
                             d.license);
}

QString OneLine(const QString& value) {
    static const QRegularExpression lineBreak(QStringLiteral("\r\n|\r|\n"));
    return QString(value).replace(lineBreak, QStringLiteral(" "));
}
