#pragma once

#include <QString>
#include <QStringList>
#include <optional>

// The product's own files among the page folder's files: the plugin keeps them in a private
// store and hands them to buyers only through expiring links. Paths are relative to the page
// folder with "/" separators, as RecurseFiles lists them.

// A reference as written in a page (an href, a src, a url(...)) turned into a path relative to
// the page folder, for a page in pageFolder ("" at the top; a root-relative path starts at the
// top); nothing for addresses elsewhere (other sites, mail links) and for paths that leave the
// folder.
std::optional<QString> ResolvePageReference(const QString& reference, const QString& pageFolder);

// Whether a file may be a delivery file at all: pages, style sheets, scripts, pictures and fonts
// make up the site, not the product.
bool CanBeDeliveryFile(const QString& relativePath);

struct DeliveryChoice {
    QStringList detected; // what the download page links to and the sales page does not use
    QStringList others;   // further files that could be delivered, for the user to add
};

// Works out the delivery files from the two pages' markup, where they lie in the page folder,
// and the page folder's files.
DeliveryChoice DetectDeliveryFiles(const QString& salesPage, const QString& salesPath,
                                   const QString& downloadPage, const QString& downloadPath,
                                   const QStringList& assets);

// What is wrong with a chosen list, as a text for the user; empty when every entry names a file
// of the page folder by a plain relative path.
QString FindDeliveryProblem(const QString& pagesFolder, const QStringList& deliveryFiles);

// A PHP file of the plugin that returns the paths as an array of strings.
QString PhpPathList(const QString& comment, const QStringList& paths);

// A fresh name for the folder of modules that holds the product's files in the archive:
// "product-" and 32 random lower-case letters and digits, which nobody can guess.
QString PackedDeliveryFolderName();
