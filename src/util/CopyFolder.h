#pragma once

#include <QString>
#include <QStringList>

// What a folder copy could not bring over, one line per item: its path and the reason.
struct CopyReport {
    QStringList failures;
    int firstError = 0; // the errno of the first failure
    bool ok() const { return failures.isEmpty(); }
};

// Copies every file and subfolder of source into destination (created when missing),
// replacing files that exist there. A link to a file is copied as the file's content; a link to
// a folder is followed only where it cannot loop; dangling links, link loops and special files
// (pipes, sockets, devices) are reported and skipped without stopping the copy of the rest.
CopyReport CopyFolder(const QString& source, const QString& destination);
