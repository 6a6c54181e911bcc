#pragma once

#include <QString>
#include <QStringList>

// Turning a page into a PHP template of the plugin: double-quoted references to the page
// folder's files point into the installed plugin, and the page's tag prints what the plugin's
// settings hold.

// The tag forms a page's tag is accepted in, and the PHP that replaces them.
struct PageTags {
    QStringList forms;
    QString replacement;
};
const PageTags& FrontTags();
const PageTags& BackTags();

// The web address of the installed plugin's modules/template folder, as PHP that prints it.
QString AssetUrlPrefix(const QString& pluginPrefix);

// Every "p" (p an entry of assets, between double quotes) becomes "<prefix>p", entry by entry
// in list order, as a replace-all per entry would do it; the cost grows with the text's length
// plus the assets', not with their product.
QString RewriteAssetPaths(const QString& text, const QStringList& assets, const QString& urlPrefix);

// Every form of the tag replaced, in the order of the forms.
QString ReplacePageTags(const QString& text, const PageTags& tags);

// Reads the page, rewrites its asset references and tags, and writes the result as UTF-8
// without byte-order mark over outputPath. Throws FileError.
void ConvertPage(const QString& pagePath, const PageTags& tags, const QStringList& assets,
                 const QString& pluginPrefix, const QString& outputPath);
