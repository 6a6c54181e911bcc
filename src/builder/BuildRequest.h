#pragma once

#include "PluginDetails.h"

#include <QString>
#include <QStringList>

// Everything one build needs.
struct BuildRequest {
    QString pagesFolder;    // the pages and the files that travel with them; only read
    QString templateFolder; // the plugin template; only read
    QString outputFolder;   // receives the archive, and a staging folder while it is built
    QString programFolder;  // where the archiver may sit
    QString frontPage;      // full paths of the two pages to convert
    QString downloadPage;
    PluginDetails details;
    QString pluginPrefix; // the identifier: the plugin's folder name and key
    // The product's files, relative to pagesFolder: the plugin keeps them private and hands them
    // out only through expiring links.
    QStringList deliveryFiles;
    // Build nothing when the pages hold references to check.
    bool strictReferences = false;
};

// The archive's name: the plugin name without blanks, in lower case, and ".zip".
QString ArchiveBaseName(const QString& pluginName);
QString ArchivePath(const BuildRequest& request);

// The longest file name, in bytes, that the file systems in use take.
constexpr int kFileNameMaxBytes = 255;

// What must be mended before a build may start, as a text for the user; empty when nothing.
QString FindRequestProblem(const PluginDetails& details, const QString& pluginPrefix);
