#pragma once

#include <QStringList>
#include <QTextStream>

class Launcher;

// The batch build: the same checks and build as the details window, driven by arguments.
// Returns the process exit code: 0 built, 1 the build or its input failed, 2 wrong usage.
int RunBuildCommand(const QStringList& arguments, const QString& programFolder, Launcher& launcher,
                    QTextStream& out, QTextStream& err);
