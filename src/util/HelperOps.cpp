#include "HelperOps.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QRandomGenerator>

bool PathExists(const QString& path, bool isFolder) {
    if (path.isEmpty())
        return false;
    const QFileInfo info(path);
    return isFolder ? info.isDir() : info.isFile();
}

bool FileExists(const QString& path, bool isFolder) {
    return PathExists(path, isFolder);
}

void Pause(int times) {
    for (int i = 0; i < times; ++i)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
}

int RandomNumber(int maxValue) {
    if (maxValue <= 0)
        return 0;
    return static_cast<int>(QRandomGenerator::global()->bounded(maxValue + 1));
}

QString ReplaceText(const QString& text, const QString& find, const QString& replacement,
                    int /*compareMode*/) {
    if (find.isEmpty())
        return text;
    QString result = text;
    result.replace(find, replacement, Qt::CaseSensitive);
    return result;
}
