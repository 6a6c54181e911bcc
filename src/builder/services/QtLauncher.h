#pragma once

#include "util/services/Launcher.h"

// Runs programs with QProcess, keeping the window responsive while waiting, and opens folders
// through the desktop.
class QtLauncher : public Launcher {
public:
    using Launcher::runAndWait;
    Outcome runAndWait(const QString& program, const QStringList& arguments,
                       const QString& workingFolder, const Watch& watch) override;
    bool openFolder(const QString& path) override;
    // Asks the desktop's file manager over D-Bus to select the file; opens its folder where no
    // file manager answers.
    bool showFile(const QString& path) override;
};
