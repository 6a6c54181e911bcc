#pragma once

#include <QString>

// Puts an index.php that prints nothing into every folder under root (root included) that has
// none, so web servers that list folders show nothing of the plugin's files. Links are not
// followed. Throws FileError.
void AddFolderIndexes(const QString& root);
