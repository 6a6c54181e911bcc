#pragma once

#include "PluginDetails.h"
#include "util/FileError.h"

#include <QString>
#include <QStringList>
#include <cerrno>

// What Ostrel remembers of a product between builds, so its next version installs over the
// last one instead of beside it.
struct ProductRecord {
    QString sourceFolder; // the folder of pages the seller loaded
    QString identifier;   // the plugin's folder name and key; must never change between versions
    PluginDetails details;
    QStringList deliveryFiles; // relative to sourceFolder
    QString lastBuiltVersion;  // empty until a build succeeded
};

// A record file that is damaged or of another format or format version. It is a FileError, so
// one handler takes it and a file that cannot be read; catch it first to offer starting afresh.
class ProductRecordError : public FileError {
public:
    explicit ProductRecordError(const QString& description) : FileError(EINVAL, description) {}
};

// Throws ProductRecordError naming the file and what is wrong with it, or FileError when it
// cannot be read.
ProductRecord LoadProductRecord(const QString& path);
// Replaces the file only once the new one is complete; throws FileError.
void SaveProductRecord(const ProductRecord& record, const QString& path);

// The version to offer for the next build: the trailing number raised by one, its zero padding
// kept ("1.9" gives "1.10", "2.07" gives "2.08"). A version that does not end in a digit, such
// as "1.0-beta", is returned unchanged: only the seller knows what comes after it.
QString NextVersion(const QString& lastBuilt);
