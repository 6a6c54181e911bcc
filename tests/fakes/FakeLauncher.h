#pragma once

#include "builder/services/QtLauncher.h"

#include <QStringList>
#include <functional>

// Runs programs for real (so the real archiver makes real archives) unless a test scripts the
// outcome (runs may come from a worker thread); records every run and every folder it was asked to
// open, and opens none (a test may say the desktop cannot).
class FakeLauncher : public Launcher {
public:
    struct Run {
        QString program;
        QStringList arguments;
        QString workingFolder;
        Watch watch;
    };

    using Launcher::runAndWait;
    Outcome runAndWait(const QString& program, const QStringList& arguments,
                       const QString& workingFolder, const Watch& watch) override {
        runs.push_back({program, arguments, workingFolder, watch});
        if (scripted)
            return scripted(runs.back());
        return QtLauncher().runAndWait(program, arguments, workingFolder, watch);
    }

    bool openFolder(const QString& path) override {
        openedFolders << path;
        return desktopOpensFolders;
    }

    bool showFile(const QString& path) override {
        shownFiles << path;
        return desktopOpensFolders;
    }

    std::function<Outcome(const Run&)> scripted;
    QList<Run> runs;
    QStringList openedFolders;
    QStringList shownFiles;
    bool desktopOpensFolders = true;
};
