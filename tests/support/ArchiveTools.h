#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// Reading the archives a build makes with the real archiver, 7za.

// The raw output of "7za l -slt" and whether it listed the archive.
QByteArray archiveListing(const QString& archive, bool* ok = nullptr);

// The paths inside an archive, as the archiver lists them.
QStringList archiveEntries(const QString& archive);

// The first folder of each entry, each once, in the order listed.
QStringList topFolders(const QStringList& entries);

bool extractArchive(const QString& archive, const QString& into);
