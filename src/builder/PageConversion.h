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

// The web address of the folder of the converted page that prints it (modules/template of the
// installed plugin), wherever the site keeps its plugins.
QString AssetUrlPrefix();

// What every converted page starts with: served on its own it ends at once, naming nothing.
QString ConvertedPageGuard();

// Every "<?" that does not open PHP on purpose ("<?php" in any letter case, or "<?=") becomes PHP
// that prints it, so an XML declaration stays text even where short open tags are on.
QString NeutralisePhpOpenings(const QString& text);

// Every "p" (p an entry of assets, between double quotes) becomes "<prefix>p", entry by entry
// in list order, as a replace-all per entry would do it; the cost grows with the text's length
// plus the assets', not with their product.
QString RewriteAssetPaths(const QString& text, const QStringList& assets, const QString& urlPrefix);

// Every form of the tag replaced, in the order of the forms.
QString ReplacePageTags(const QString& text, const PageTags& tags);

// Reads the page, keeps its text from running as PHP, rewrites its asset references and tags, and
// writes the guard and the result as UTF-8 without byte-order mark over outputPath. Throws
// FileError.
void ConvertPage(const QString& pagePath, const PageTags& tags, const QStringList& assets,
                 const QString& outputPath);
