#pragma once

#include <QByteArray>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

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
