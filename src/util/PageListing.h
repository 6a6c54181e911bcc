#pragma once

#include <QString>
#include <QStringList>

// Pages are the files directly in a folder whose names end in .htm or .html, letter case
// ignored. Returns their file names sorted by name, letter case ignored; a folder that does not
// exist or cannot be read has no pages.
QStringList ListPages(const QString& folder);
