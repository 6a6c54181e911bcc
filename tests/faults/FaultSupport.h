#pragma once

#include "support/RunProgram.h"
#include "support/TempFolder.h"

#include <QByteArray>
#include <QString>

// Helpers for the fault cases. Paths inside the folders under test are handled as bytes: names
// that are not UTF-8 must not be merged or lost by a decoding on the way.

// Writes a file by its byte name, creating the folders on the way.
void writeRaw(const QByteArray& path, const QByteArray& content);

// Removes a tree by its byte names, which a QString-based removal would miss.
void removeTreeRaw(const QByteArray& folder);

// The path of a test's build of the program folder: ostrel-build, the template and blank page.
QString builtProgramFolder();

// A program folder of a test's own: copies (not links, whose modes a cleanup would change) of
// ostrel-build, so its program folder is this one, and of the plugin template.
void makeProgramFolder(const QString& folder);

// Runs a program with arguments given as bytes, which QProcess would re-encode.
ProcessResult runWithByteArguments(const QString& program, const QList<QByteArray>& arguments,
                                   const QString& workingFolder);

// Copies a folder with cp, not with the code under test.
bool copyTree(const QString& from, const QString& to);

// A folder that cannot be written into: immutable as root, read-only otherwise.
bool makeReadOnlyFolder(const QString& folder);
void makeWritableFolder(const QString& folder);
