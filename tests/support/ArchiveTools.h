#pragma once

#include <QByteArray>
#include <QMap>
#include <QString>
#include <QStringList>

// Reading the archives a build makes with the real archiver, 7za.

// The raw output of "7za l -slt" and whether it listed the archive.
QByteArray archiveListing(const QString& archive, bool* ok = nullptr);

// The paths inside an archive, as the archiver lists them.
QStringList archiveEntries(const QString& archive);

// Each entry's path and how it is packed ("Store", "Deflate"; folders list as "Store"). Names
// that are not UTF-8 keep their bytes, as decodeUtf8Lossless keeps them.
QMap<QString, QString> archiveMethods(const QString& archive);

// The first folder of each entry, each once, in the order listed.
QStringList topFolders(const QStringList& entries);

bool extractArchive(const QString& archive, const QString& into);
