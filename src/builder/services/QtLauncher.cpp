#include "QtLauncher.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDesktopServices>
#include <QEventLoop>
#include <QFileInfo>
#include <QProcess>
#include <QTimer>
#include <QUrl>

Launcher::Outcome QtLauncher::runAndWait(const QString& program, const QStringList& arguments,
                                         const QString& workingFolder, const Watch& watch) {
    Outcome outcome;
    QProcess process;
    process.setProgram(program);
    process.setArguments(arguments);
    process.setWorkingDirectory(workingFolder);
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.setStandardInputFile(QProcess::nullDevice());

    QEventLoop loop;
    QObject::connect(&process, &QProcess::finished, &loop, &QEventLoop::quit);
    QObject::connect(&process, &QProcess::errorOccurred, &loop, [&](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart || process.state() == QProcess::NotRunning)
            loop.quit();
    });
    QByteArray printed;
    if (watch.output)
        QObject::connect(&process, &QProcess::readyReadStandardOutput, &loop, [&] {
            const QByteArray piece = process.readAll();
            printed += piece;
            watch.output(QString::fromLocal8Bit(piece));
        });
    QTimer stopCheck;
    if (watch.stop) {
        QObject::connect(&stopCheck, &QTimer::timeout, &loop, [&] {
            if (!outcome.stopped && watch.stop()) {
                outcome.stopped = true;
                process.kill();
            }
        });
        stopCheck.start(50);
    }
    process.start();
    if (process.state() != QProcess::NotRunning)
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    stopCheck.stop();

    outcome.started = process.error() != QProcess::FailedToStart;
    outcome.output = QString::fromLocal8Bit(printed + process.readAll());
    if (!outcome.started) {
        outcome.errorText = process.errorString();
        return outcome;
    }
    if (outcome.stopped)
        outcome.errorText = QStringLiteral("the program was stopped");
    else if (process.exitStatus() == QProcess::CrashExit)
        outcome.errorText = QStringLiteral("the program stopped abnormally");
    outcome.exitCode = process.exitCode();
    return outcome;
}

bool QtLauncher::openFolder(const QString& path) {
    return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

bool QtLauncher::showFile(const QString& path) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (bus.isConnected()) {
        QDBusMessage call = QDBusMessage::createMethodCall(
            QStringLiteral("org.freedesktop.FileManager1"),
            QStringLiteral("/org/freedesktop/FileManager1"),
            QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("ShowItems"));
        call << QStringList{QUrl::fromLocalFile(path).toString()} << QString();
        // A short wait: a desktop without a file manager on the bus answers with an error.
        if (bus.call(call, QDBus::Block, 3000).type() == QDBusMessage::ReplyMessage)
            return true;
    }
    return openFolder(QFileInfo(path).absolutePath());
}
