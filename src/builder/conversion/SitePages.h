#pragma once

#include <QString>
#include <QStringList>

// The pages of a site and what each becomes in the plugin: the sales page, the download page,
// and every other page (.htm, .html at any depth) a page of the plugin's own. Paths are relative
// to the page folder with "/" separators.
struct SitePages {
    QString front;
    QString download;
    QStringList others; // sorted; others[i] becomes ConvertedOtherPage(i)
};

bool IsPageFile(const QString& relativePath);

// The site's pages among the page folder's files; delivery files and what a desktop or version
// control leaves in hidden folders are not pages.
SitePages FindSitePages(const QStringList& files, const QString& front, const QString& download,
                        const QStringList& deliveryFiles);

// The converted file of the i-th other page, beside converted_index.php.
QString ConvertedOtherPage(qsizetype index);

// The plugin's PHP list of its pages: which file is the sales page, which the download page,
// and the converted file of each other page.
QString SitePagesPhp(const SitePages& pages);
