#include "FaultSupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

void writeRaw(const QByteArray& path, const QByteArray& content) {
    std::error_code ec;
    fs::create_directories(fs::path(path.toStdString()).parent_path(), ec);
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        return;
    for (qsizetype done = 0; done < content.size();) {
        const ssize_t n = ::write(fd, content.constData() + done, size_t(content.size() - done));
        if (n <= 0)
            break;
        done += n;
    }
    ::close(fd);
}

void removeTreeRaw(const QByteArray& folder) {
    std::error_code ignored;
    fs::remove_all(fs::path(folder.toStdString()), ignored);
}

QString builtProgramFolder() {
    return QDir::cleanPath(QCoreApplication::applicationDirPath() + QStringLiteral("/../ostrel"));
}

void makeProgramFolder(const QString& folder) {
    QDir().mkpath(folder);
    copyTree(builtProgramFolder() + QStringLiteral("/ostrel-build"),
             folder + QStringLiteral("/ostrel-build"));
    copyTree(builtProgramFolder() + QStringLiteral("/plugintemplatepro"),
             folder + QStringLiteral("/plugintemplatepro"));
}

ProcessResult runWithByteArguments(const QString& program, const QList<QByteArray>& arguments,
                                   const QString& workingFolder) {
    QString script = QStringLiteral("exec \"$0\""); // bash rebuilds the bytes from $'\xHH'
    for (const QByteArray& argument : arguments)
        script +=
            " $'" + QString::fromLatin1(argument.toPercentEncoding().replace('%', "\\x")) + "'";
    return runProgram("bash", {"-c", script, program}, workingFolder);
}

bool copyTree(const QString& from, const QString& to) {
    return QProcess::execute(QStringLiteral("cp"),
                             {QStringLiteral("-a"), QStringLiteral("--"), from, to}) == 0;
}

bool makeReadOnlyFolder(const QString& folder) {
    // Setting the immutable flag on the folder itself; makeUndeletable guards a file's folder
    // only when not root.
    if (geteuid() == 0)
        return makeUndeletable(folder);
    return ::chmod(QFile::encodeName(folder).constData(), 0555) == 0;
}

void makeWritableFolder(const QString& folder) {
    if (geteuid() == 0)
        makeDeletable(folder);
    else
        ::chmod(QFile::encodeName(folder).constData(), 0755);
}
