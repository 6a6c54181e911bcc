// ostrel-build: the plugin build without a window, for building many plugins.
#include "builder/BuildCommand.h"
#include "builder/services/QtLauncher.h"
#include "util/ProgramFolder.h"

#include <QCoreApplication>
#include <cstdio>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("ostrel-build"));
    QtLauncher launcher;
    QTextStream out(stdout);
    QTextStream err(stderr);
    return RunBuildCommand(QCoreApplication::arguments(), ProgramFolder::ofRunningProgram().path(),
                           launcher, out, err);
}
