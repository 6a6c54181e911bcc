#pragma once

#include "ProductRecord.h"

#include <QString>
#include <optional>

class ProgramFolder;

// The products a seller has built, one folder each, found again by the folder of pages they
// were loaded from:
//
//   <store>/<key>/product.json   the ProductRecord
//   <store>/<key>/edits/         reserved for the seller's edited pages
//
// <key> is the first 16 hex digits of the SHA-256 of the source folder's canonical path (its
// clean absolute path while it does not exist), so every spelling of a folder, links included,
// leads to the same product. The store writes only inside its own folder.
class ProductStore {
public:
    explicit ProductStore(QString folder);

    // Beside the working folder: products in the program folder when that is writable, else
    // $XDG_DATA_HOME/ostrel/products.
    static QString DefaultFolder(const ProgramFolder& program);

    const QString& folder() const { return folder_; }
    // The product's folder for a source folder, whether or not it exists yet.
    QString productFolder(const QString& sourceFolder) const;

    // Nothing when the folder has no record; a record that cannot be read or is damaged throws
    // (ProductRecordError, FileError) and stays as it is.
    std::optional<ProductRecord> find(const QString& sourceFolder) const;
    // Files the record under its sourceFolder, making the folders it needs; throws FileError.
    void save(const ProductRecord& record);
    // Removes the product's folder with everything in it; the folders of other products and the
    // source folder stay. Throws FileError.
    void forget(const QString& sourceFolder);

private:
    QString recordFile(const QString& sourceFolder) const;

    QString folder_;
};
