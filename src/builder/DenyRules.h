#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// Web server rules refusing a folder's files by name: for Apache (.htaccess, in the 2.4 and the
// 2.2 form) and IIS (web.config). Written into the plugin by the build, they keep the product's
// files from being served from the moment the archive is unpacked, before the plugin runs.
struct DenyRules {
    QByteArray htaccess;
    QByteArray webConfig;
};

// The rules refusing exactly these names (no folder part), in that folder and below.
DenyRules DenyRulesFor(const QStringList& fileNames);

// Writes the rules into each folder under root that holds one of the paths (relative to root;
// paths leaving root are skipped). A .htaccess already there keeps its rules and gets these
// appended; a web.config already there is left as it is. Throws FileError.
void WriteDenyRules(const QString& root, const QStringList& relativePaths);
