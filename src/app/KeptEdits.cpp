#include "KeptEdits.h"

#include "util/FileError.h"
#include "util/RecurseFiles.h"
#include "util/TextFile.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

// Only paths that stay inside their folder are kept or restored.
bool isInside(const QString& page) {
    const QString clean = QDir::cleanPath(page);
    return !clean.isEmpty() && !QDir::isAbsolutePath(clean) && clean != QLatin1String("..") &&
           !clean.startsWith(QLatin1String("../"));
}

void copyFile(const QString& from, const QString& to) {
    QDir().mkpath(QFileInfo(to).absolutePath());
    SaveBytesToFile(LoadBytesFromFile(from), to);
}

} // namespace

LastSession LoadLastSession(const QString& file) {
    LastSession session;
    if (!QFileInfo(file).isFile())
        return session;
    QByteArray bytes;
    try {
        bytes = LoadBytesFromFile(file);
    } catch (const FileError&) {
        return session;
    }
    const QJsonObject object = QJsonDocument::fromJson(bytes).object();
    session.sourceFolder = object.value(QLatin1String("sourceFolder")).toString();
    for (const QJsonValue& page : object.value(QLatin1String("editedPages")).toArray()) {
        if (page.isString() && isInside(page.toString()))
            session.editedPages << page.toString();
    }
    return session;
}

void SaveLastSession(const LastSession& session, const QString& file) {
    const QJsonObject object{
        {QStringLiteral("sourceFolder"), session.sourceFolder},
        {QStringLiteral("editedPages"), QJsonArray::fromStringList(session.editedPages)}};
    SaveBytesToFile(QJsonDocument(object).toJson(), file);
}

KeptEdits::KeptEdits(QString productFolder)
    : folder_(std::move(productFolder) + QStringLiteral("/edits")) {}

void KeptEdits::keep(const QString& workFolder, const QString& page) const {
    if (isInside(page))
        copyFile(workFolder + QLatin1Char('/') + page, folder_ + QLatin1Char('/') + page);
}

QStringList KeptEdits::pages() const {
    QStringList pages;
    if (QFileInfo(folder_).isDir()) {
        try {
            RecurseFiles(folder_, folder_, pages);
        } catch (const FileError&) {
            return {};
        }
    }
    pages.sort();
    return pages;
}

void KeptEdits::restoreInto(const QString& workFolder) const {
    for (const QString& page : pages())
        copyFile(folder_ + QLatin1Char('/') + page, workFolder + QLatin1Char('/') + page);
}
