#pragma once

#include <QString>
#include <QStringList>

// Pages are the files directly in a folder whose names end in .htm or .html, letter case
// ignored. Returns their file names sorted by name, letter case ignored; a folder that does not
// exist or cannot be read has no pages.
// sawLinks, when given, tells whether the listing had to follow a link (or met an entry of
// unknown type) to decide what is a page: such a listing can change without the folder changing.
QStringList ListPages(const QString& folder, bool* sawLinks = nullptr);
