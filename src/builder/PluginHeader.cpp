#include "PluginHeader.h"

#include <QStringList>

QString BuildPluginHeader(const QString& name, const QString& uri, const QString& description,
                          const QString& version, const QString& author, const QString& authorUri,
                          const QString& license) {
    return QStringList{QStringLiteral("<?php"),
                       QStringLiteral("/*"),
                       QStringLiteral("Plugin Name: ") + name,
                       QStringLiteral("Plugin URI: ") + uri,
                       QStringLiteral("Description: ") + description,
                       QStringLiteral("Version: ") + version,
                       QStringLiteral("Author: ") + author,
                       QStringLiteral("Author URI: ") + authorUri,
                       QStringLiteral("License: ") + license,
                       QStringLiteral("*/"),
                       QStringLiteral("?>")}
        .join(QStringLiteral("\r\n"));
}

QString BuildPluginHeader(const PluginDetails& d) {
    return BuildPluginHeader(d.name, d.uri, d.description, d.version, d.author, d.authorUri,
                             d.license);
}
