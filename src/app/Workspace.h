#pragma once

#include "util/CopyFolder.h"
#include "util/ProgramFolder.h"

#include <QString>

class Progress;

// The working folder that holds the copy of the user's pages, and the output folder. The user's
// own folder is only ever read.
class Workspace {
public:
    explicit Workspace(ProgramFolder programFolder);

    const ProgramFolder& programFolder() const { return programFolder_; }
    QString workFolder() const { return programFolder_.workFolder(); }

    // Empties the working folder when it exists, and removes what an interrupted load left
    // beside it. Returns what went wrong, or an empty text.
    QString resetWorkFolder() const;

    // Creates the data and output folders when they are missing. Returns what went wrong, or an
    // empty text.
    QString ensureFolders() const;

    enum class SourceCheck { Ok, NotAFolder, NoPages, OverlapsWorkFolder };
    SourceCheck checkSource(const QString& folder) const;

    struct LoadOutcome {
        CopyReport copied; // what could not be copied, or that the load was cancelled
        QString failure;   // why the working folder could not be replaced
    };
    // Copies the folder's content into a folder of its own beside the working folder, and only
    // once that copy is complete puts it in the working folder's place. Cancelled or failing,
    // the working folder stays exactly as it was and nothing of the copy is left.
    LoadOutcome load(const QString& source, Progress* progress = nullptr) const;
    // As load, the failure told as one of the report's items.
    CopyReport copyIn(const QString& source) const;

    // Where a load copies to, and where the working folder it replaces waits to be removed.
    QString loadingFolder() const { return workFolder() + QStringLiteral(".loading"); }
    QString replacedFolder() const { return workFolder() + QStringLiteral(".old"); }

    // A typed path as users paste it: surrounding blanks or quotes, a leading "~/", or a file URL
    // are taken off when the text as typed names nothing.
    static QString normaliseTypedPath(const QString& typed);

private:
    QString canonicalWorkFolder() const;

    ProgramFolder programFolder_;
};
