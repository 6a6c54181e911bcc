#pragma once

#include <QList>
#include <QString>

// A reference the conversion could not carry into the plugin as the page meant it, for the user
// to look at: where it stands and what is wrong with it.
struct ReferenceProblem {
    enum class Kind {
        NoSuchFile,    // a relative or root-relative address that names no file of the folder
        OutsideFolder, // a relative address that climbs out of the folder
        InScript,      // an address in a script, left as written
        DownloadLink,  // a link to the download page from another page, led to the sales page
    };
    Kind kind = Kind::NoSuchFile;
    QString page; // relative to the page folder
    int line = 0;
    QString reference; // as written, character references decoded

    // "page:line: what", one line.
    QString text() const;
};

// The report's heading and lines, as the details window and ostrel-build show it.
QString ReferenceReportHeading(qsizetype count);
