#pragma once

#include <QString>
#include <QStringList>

// Appends to list every file under fPath, at any depth, as its path relative to base with "/"
// separators (a picture images/logo.png under base gives "images/logo.png"). Folders come in
// the walk where they are met, entries in name order; links to folders are followed only where
// they cannot loop. Names that are not UTF-8 are decoded as LoadTextFromFile decodes text, so
// they match references in pages of the same encoding. The list is not cleared first.
void RecurseFiles(const QString& fPath, const QString& base, QStringList& list);
