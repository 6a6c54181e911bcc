#include "RunProgram.h"

#include <QProcess>

ProcessResult runProgram(const QString& program, const QStringList& arguments,
                         const QString& workingFolder, const QProcessEnvironment& environment) {
    QProcess process;
    process.setProcessEnvironment(environment);
    process.setWorkingDirectory(workingFolder);
    process.setStandardInputFile(QProcess::nullDevice());
    process.start(program, arguments);
    ProcessResult result;
    if (!process.waitForStarted(-1))
        return result;
    result.ended = process.waitForFinished(10 * 60 * 1000);
    if (!result.ended) {
        process.kill();
        process.waitForFinished(-1);
    }
    result.crashed = process.exitStatus() == QProcess::CrashExit;
    result.exitCode = process.exitCode();
    result.out = process.readAllStandardOutput();
    result.err = process.readAllStandardError();
    return result;
}
