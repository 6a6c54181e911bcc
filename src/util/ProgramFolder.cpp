#include "ProgramFolder.h"

#include "FsPath.h"

#include <QCoreApplication>
#include <QDir>
#include <QStandardPaths>
#include <unistd.h>

namespace {

// A package's folder is the system's even for root, who may write anywhere.
bool keepsDataBeside(const QString& programFolder) {
    const QString real = QDir(programFolder).canonicalPath();
    if (real == QLatin1String("/usr") || real.startsWith(QLatin1String("/usr/")))
        return false;
    return ::access(toFsPath(programFolder).c_str(), W_OK) == 0;
}

QString absoluteFromEnvironment(const char* name) {
    const QString value = qEnvironmentVariable(name);
    return QDir::isAbsolutePath(value) ? QDir::cleanPath(value) : QString();
}

QString userDataHome() {
    const QString set = absoluteFromEnvironment("XDG_DATA_HOME");
    return set.isEmpty() ? QDir::homePath() + QStringLiteral("/.local/share") : set;
}

// The variable wins; else the desktop's user-dirs setting, else ~/Documents.
QString userDocuments() {
    const QString set = absoluteFromEnvironment("XDG_DOCUMENTS_DIR");
    if (!set.isEmpty())
        return set;
    const QString configured = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    return configured.isEmpty() ? QDir::homePath() + QStringLiteral("/Documents") : configured;
}

} // namespace

ProgramFolder::ProgramFolder(QString path)
    : path_(QDir::cleanPath(std::move(path))), dataFolder_(path_),
      outputFolder_(join(path_, QStringLiteral("output"))) {}

ProgramFolder::ProgramFolder(QString path, QString dataFolder, QString outputFolder)
    : path_(QDir::cleanPath(std::move(path))), dataFolder_(QDir::cleanPath(std::move(dataFolder))),
      outputFolder_(QDir::cleanPath(std::move(outputFolder))) {}

ProgramFolder ProgramFolder::placedFor(const QString& path) {
    if (keepsDataBeside(path))
        return ProgramFolder(path);
    return ProgramFolder(path, userDataHome() + QStringLiteral("/ostrel"),
                         userDocuments() + QStringLiteral("/Ostrel"));
}

ProgramFolder ProgramFolder::ofRunningProgram() {
    return placedFor(QCoreApplication::applicationDirPath());
}

QString ProgramFolder::join(const QString& folder, const QString& name) {
    return folder.endsWith(QLatin1Char('/')) ? folder + name : folder + QLatin1Char('/') + name;
}
