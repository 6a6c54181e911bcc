#include "ProductStore.h"

#include "util/FsPath.h"
#include "util/KillFolder.h"
#include "util/ProgramFolder.h"
#include "util/TextFile.h"

#include <QCryptographicHash>
#include <QDir>
#include <filesystem>

namespace fs = std::filesystem;

namespace {

// Worked out on the file system's bytes, so a folder whose name is not UTF-8 keeps its key.
QString canonicalFolder(const QString& folder) {
    std::error_code ec;
    const fs::path real = fs::canonical(toFsPath(folder), ec);
    if (!ec)
        return fromFsPath(real);
    fs::path clean = fs::absolute(toFsPath(folder), ec).lexically_normal();
    if (!clean.has_filename() && clean != clean.root_path())
        clean = clean.parent_path();
    return fromFsPath(clean);
}

QString keyOf(const QString& sourceFolder) {
    const QByteArray hash = QCryptographicHash::hash(
        encodeUtf8Lossless(canonicalFolder(sourceFolder)), QCryptographicHash::Sha256);
    return QString::fromLatin1(hash.toHex().left(16));
}

} // namespace

ProductStore::ProductStore(QString folder) : folder_(QDir::cleanPath(std::move(folder))) {}

QString ProductStore::DefaultFolder(const ProgramFolder& program) {
    return program.dataFolder() + QStringLiteral("/products");
}

QString ProductStore::productFolder(const QString& sourceFolder) const {
    return folder_ + QLatin1Char('/') + keyOf(sourceFolder);
}

QString ProductStore::recordFile(const QString& sourceFolder) const {
    return productFolder(sourceFolder) + QStringLiteral("/product.json");
}

std::optional<ProductRecord> ProductStore::find(const QString& sourceFolder) const {
    const QString file = recordFile(sourceFolder);
    std::error_code ec;
    // A dangling link is not "no record": loading it says what is wrong.
    if (!fs::exists(fs::symlink_status(toFsPath(file), ec)))
        return std::nullopt;
    return LoadProductRecord(file);
}

void ProductStore::save(const ProductRecord& record) {
    if (record.sourceFolder.isEmpty())
        throw FileError(EINVAL, QStringLiteral("A product record needs its source folder."));
    const QString folder = productFolder(record.sourceFolder);
    std::error_code ec;
    fs::create_directories(toFsPath(folder), ec);
    if (ec)
        throw FileError::fromErrno(ec.value(), QStringLiteral("Cannot create the folder"), folder);
    SaveProductRecord(record, folder + QStringLiteral("/product.json"));
}

void ProductStore::forget(const QString& sourceFolder) {
    const QString folder = productFolder(sourceFolder);
    std::error_code ec;
    const fs::file_status status = fs::symlink_status(toFsPath(folder), ec);
    if (!fs::exists(status))
        return;
    // The store makes real folders only; anything else there is not its to delete.
    if (!fs::is_directory(status))
        throw FileError::fromErrno(ENOTDIR, QStringLiteral("Cannot forget the product in"), folder);
    QString failure;
    if (!KillFolder(folder, &failure))
        throw FileError(EIO, failure);
}
