#include "SitePages.h"

#include "builder/PhpText.h"

#include <QSet>
#include <algorithm>

bool IsPageFile(const QString& relativePath) {
    return relativePath.endsWith(QLatin1String(".html"), Qt::CaseInsensitive) ||
           relativePath.endsWith(QLatin1String(".htm"), Qt::CaseInsensitive);
}

SitePages FindSitePages(const QStringList& files, const QString& front, const QString& download,
                        const QStringList& deliveryFiles) {
    SitePages pages{front, download, {}};
    const QSet<QString> delivered(deliveryFiles.cbegin(), deliveryFiles.cend());
    for (const QString& file : files) {
        const bool hidden = file.startsWith(u'.') || file.contains(QLatin1String("/."));
        if (IsPageFile(file) && !hidden && file != front && file != download &&
            !delivered.contains(file))
            pages.others << file;
    }
    std::sort(pages.others.begin(), pages.others.end());
    pages.others.erase(std::unique(pages.others.begin(), pages.others.end()), pages.others.end());
    return pages;
}

QString ConvertedOtherPage(qsizetype index) {
    return QStringLiteral("converted_page_%1.php").arg(index + 1);
}

QString SitePagesPhp(const SitePages& pages) {
    QString php = QStringLiteral(
        "<?php\ndefined( 'ABSPATH' ) || exit;\n\n"
        "// The site's pages, relative to modules/template: the sales page, the download page, "
        "and\n"
        "// the converted file of every other page, which the plugin serves at an address of its "
        "own.\nreturn array(\n");
    php += QStringLiteral("\t'sales'    => %1,\n").arg(PhpSingleQuoted(pages.front));
    php += QStringLiteral("\t'download' => %1,\n").arg(PhpSingleQuoted(pages.download));
    php += QStringLiteral("\t'pages'    => array(\n");
    for (qsizetype i = 0; i < pages.others.size(); ++i)
        php += QStringLiteral("\t\t%1 => '%2',\n")
                   .arg(PhpSingleQuoted(pages.others[i]), ConvertedOtherPage(i));
    return php + QStringLiteral("\t),\n);\n");
}
