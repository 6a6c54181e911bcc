#pragma once

#include <QString>
#include <QStringList>

// Starts outside programs: the archiver, and the desktop's own way of opening a folder.
class Launcher {
public:
    struct Outcome {
        bool started = false;
        int exitCode = -1;
        QString errorText; // why it did not start or did not end normally
        QString output;    // what it printed, both channels
    };

    virtual ~Launcher() = default;

    // Runs a program with an argument list (no shell) in a working folder and waits for it to
    // end; a window stays responsive meanwhile.
    virtual Outcome runAndWait(const QString& program, const QStringList& arguments,
                               const QString& workingFolder) = 0;

    // Opens a folder in the desktop's file browser; false when that cannot be done.
    virtual bool openFolder(const QString& path) = 0;

    // Shows a file in the desktop's file browser, selected; false when that cannot be done.
    virtual bool showFile(const QString& path) = 0;
};
