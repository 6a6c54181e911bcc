#pragma once

#include <QString>
#include <QStringList>
#include <functional>

// Starts outside programs: the archiver, and the desktop's own way of opening a folder.
class Launcher {
public:
    struct Outcome {
        bool started = false;
        int exitCode = -1;
        QString errorText;    // why it did not start or did not end normally
        QString output;       // what it printed, both channels
        bool stopped = false; // ended by the watch's stop
    };

    // How a caller follows a long run: what the program prints as it comes, and whether to end
    // it now (asked every few hundredths of a second).
    struct Watch {
        std::function<void(const QString& printed)> output;
        std::function<bool()> stop;
    };

    virtual ~Launcher() = default;

    // Runs a program with an argument list (no shell) in a working folder and waits for it to
    // end; a window stays responsive meanwhile.
    Outcome runAndWait(const QString& program, const QStringList& arguments,
                       const QString& workingFolder) {
        return runAndWait(program, arguments, workingFolder, Watch{});
    }
    // As above, followed by a watch; a program the watch stops is killed.
    virtual Outcome runAndWait(const QString& program, const QStringList& arguments,
                               const QString& workingFolder, const Watch& watch) = 0;

    // Opens a folder in the desktop's file browser; false when that cannot be done.
    virtual bool openFolder(const QString& path) = 0;

    // Shows a file in the desktop's file browser, selected; false when that cannot be done.
    virtual bool showFile(const QString& path) = 0;
};
