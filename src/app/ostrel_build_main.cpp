// ostrel-build: the plugin build without a window, for building many plugins.
#include "builder/BuildCommand.h"
#include "builder/services/QtLauncher.h"
#include "util/ProgramFolder.h"
#include "util/TextFile.h"

#include <QCoreApplication>
#include <cstdio>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("ostrel-build"));
    // Not QCoreApplication::arguments(): its decoding loses the bytes of names that are not
    // UTF-8, which must reach the file system unchanged.
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << decodeUtf8Lossless(QByteArray(argv[i]));
    QtLauncher launcher;
    QTextStream out(stdout);
    QTextStream err(stderr);
    return RunBuildCommand(arguments, ProgramFolder::ofRunningProgram().path(), launcher, out, err);
}
