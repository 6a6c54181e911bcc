#pragma once

#include <QString>
#include <QStringList>

class Progress;

// What a folder copy could not bring over, one line per item: its path and the reason.
struct CopyReport {
    QStringList failures;
    int firstError = 0;     // the errno of the first failure
    bool cancelled = false; // stopped on request; what was copied stays, a file begun does not
    bool ok() const { return failures.isEmpty() && !cancelled; }
};

// Copies every file and subfolder of source into destination (created when missing),
// replacing files that exist there. A link to a file is copied as the file's content; a link to
// a folder is followed only where it cannot loop; dangling links, link loops and special files
// (pipes, sockets, devices) are reported and skipped without stopping the copy of the rest.
// With progress, the files are counted first and each one copied is reported; a cancel is
// heeded between files and between the chunks of a large one.
CopyReport CopyFolder(const QString& source, const QString& destination,
                      Progress* progress = nullptr);
