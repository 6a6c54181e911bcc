#pragma once

#include <QString>

// Deletes a folder with everything under it, dot-files included. Symbolic links are removed as
// links and never followed, so nothing outside the folder is touched. Folders inside it that
// their owner may not empty get the owner's full rights first; no permission outside it changes,
// not even its parent's. Returns false as soon as one step fails (what was deleted before stays
// deleted); failure, when given, receives the path and the system's reason.
bool KillFolder(const QString& path, QString* failure = nullptr);
