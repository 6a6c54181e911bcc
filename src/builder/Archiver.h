#pragma once

#include "BuildError.h"

#include <QString>

class Launcher;
class Progress;

// Packs a folder into a ZIP archive with the 7za archiver: files of the types in StoredTypes.h
// stored as they are, all others deflated. The archive is written under a temporary name in the
// packed folder's parent and takes its final name only once it is complete.
class Archiver {
public:
    Archiver(Launcher& launcher, QString programFolder);

    // 7za in the program folder, else on the search path; empty when there is none.
    QString findArchiver() const;

    // Packs parentFolder/folderName into archivePath, so the archive holds exactly that one
    // folder at its top. parentFolder must lie on archivePath's file system, so the finished
    // archive is renamed into place at once, and folderName must hold no wildcard (* or ?), as
    // 7za is given patterns inside it. Throws BuildError; on failure an existing archive stays
    // as it was, and nothing of the packing is left in parentFolder. With progress, reports
    // the percentage packed and, cancelled, stops 7za, cleans up and throws Cancelled.
    void pack(const QString& parentFolder, const QString& folderName, const QString& archivePath,
              Progress* progress = nullptr);

private:
    Launcher& launcher_;
    QString programFolder_;
};
