#pragma once

#include "util/CopyFolder.h"
#include "util/ProgramFolder.h"

#include <QString>

// The working folder that holds the copy of the user's pages, and the output folder. The user's
// own folder is only ever read.
class Workspace {
public:
    explicit Workspace(ProgramFolder programFolder);

    const ProgramFolder& programFolder() const { return programFolder_; }
    QString workFolder() const { return programFolder_.workFolder(); }

    // Empties the working folder when it exists. Returns what went wrong, or an empty text.
    QString resetWorkFolder() const;

    // Creates the data and output folders when they are missing. Returns what went wrong, or an
    // empty text.
    QString ensureFolders() const;

    enum class SourceCheck { Ok, NotAFolder, NoPages, OverlapsWorkFolder };
    SourceCheck checkSource(const QString& folder) const;

    // Copies the folder's content into the working folder.
    CopyReport copyIn(const QString& source) const;

    // A typed path as users paste it: surrounding blanks or quotes, a leading "~/", or a file URL
    // are taken off when the text as typed names nothing.
    static QString normaliseTypedPath(const QString& typed);

private:
    QString canonicalWorkFolder() const;

    ProgramFolder programFolder_;
};
