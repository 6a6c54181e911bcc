#pragma once

#include <QString>

// Where an address written in a page leads, worked out as a browser works it out for a page
// served from the page folder: against the page's own folder (or its base), with "./", "../",
// %-escapes and backslashes, the query and fragment split off. Paths are relative to the page
// folder's top with "/" separators.
struct ResolvedReference {
    enum class Kind {
        Elsewhere,     // another site, a protocol-relative address, mail, data ...
        SameDocument,  // empty, or only a query or fragment
        InFolder,      // path names a place inside the page folder
        OutsideFolder, // a relative path that climbs out of the page folder
    };
    Kind kind = Kind::Elsewhere;
    QString path;          // InFolder: the place, decoded; "" for the folder's top
    bool isFolder = false; // the address ends in "/" (or is the top), so names a folder
    qsizetype start = 0;   // the address's path runs from here (blanks before it skipped) ...
    qsizetype pathEnd = 0; // ... to here, where its query or fragment starts or it ends
};

ResolvedReference ResolveReference(const QString& address, const QString& baseFolder);

// The folder a page lies in, relative to the page folder's top ("" at the top).
QString FolderOf(const QString& relativePath);

// A relative path written for a web address: every byte but letters, digits and "-._~/!$*+,;=:@"
// %-escaped, so it stands whole in any quoting, in markup and in style sheets.
QString EncodeUrlPath(const QString& relativePath);
