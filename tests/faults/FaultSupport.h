#pragma once

#include "support/TempFolder.h"

#include <QByteArray>
#include <QMap>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <string>
#include <vector>

// Helpers for the fault cases. Paths inside the folders under test are handled as bytes: names
// that are not UTF-8 must not be merged or lost by a decoding on the way.

// One line per entry under folder, skipped subtrees left out: the relative name, the type, the
// mode, and the content digest and modification time of a file or the target of a link. Links
// are never followed.
std::vector<std::string> treePrint(const QByteArray& folder, const QList<QByteArray>& skipped = {});

// The regular files under folder (links not followed): relative name -> content.
QMap<QByteArray, QByteArray> filesUnder(const QByteArray& folder);

// Writes a file by its byte name, creating the folders on the way.
void writeRaw(const QByteArray& path, const QByteArray& content);

// Removes a tree by its byte names, which a QString-based removal would miss.
void removeTreeRaw(const QByteArray& folder);

// The path of a test's build of the program folder: ostrel-build, the template and blank page.
QString builtProgramFolder();

// A program folder of a test's own: copies (not links, whose modes a cleanup would change) of
// ostrel-build, so its program folder is this one, and of the plugin template.
void makeProgramFolder(const QString& folder);

// Copies a folder with cp, not with the code under test.
bool copyTree(const QString& from, const QString& to);

// A folder that cannot be written into: immutable as root, read-only otherwise.
bool makeReadOnlyFolder(const QString& folder);
void makeWritableFolder(const QString& folder);

struct ProcessResult {
    bool ended = false; // false: it was still running when given up on, and was killed
    bool crashed = false;
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

// Runs a program to its end with the given environment, giving up after a generous while so a
// hang fails the test instead of stalling the run.
ProcessResult
runProgram(const QString& program, const QStringList& arguments, const QString& workingFolder,
           const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment());

// The raw output of "7za l -slt" and whether it listed the archive.
QByteArray archiveListing(const QString& archive, bool* ok = nullptr);
bool extractArchive(const QString& archive, const QString& into);
