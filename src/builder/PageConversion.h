#pragma once

#include "conversion/ReferenceConverter.h"

#include <QString>
#include <QStringList>

// Turning a page into a PHP template of the plugin: its references to the page folder's files
// point into the installed plugin, its links to other pages at their WordPress addresses, and
// the page's tag prints what the plugin's settings hold.

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

// Every form of the tag replaced, in the order of the forms.
QString ReplacePageTags(const QString& text, const PageTags& tags);

// Reads the page, keeps its text from running as PHP, points its references at the plugin,
// replaces its tags, and writes the guard and the result as UTF-8 without byte-order mark over
// outputPath. relativePath: where the page lies in the page folder. Returns the references the
// report lists. Throws FileError.
QList<ReferenceProblem> ConvertPage(const QString& pagePath, const QString& relativePath,
                                    const PageTags& tags, const ReferenceConverter& references,
                                    const QString& outputPath);

// What the report lists for every page of the site, as the build would convert them, without
// writing anything. Throws FileError when a page cannot be read.
QList<ReferenceProblem> CheckSiteReferences(const QString& pagesFolder,
                                            const ReferenceConverter& references);
