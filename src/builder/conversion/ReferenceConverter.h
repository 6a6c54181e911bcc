#pragma once

#include "ReferenceProblem.h"
#include "SitePages.h"

#include <QSet>
#include <QString>
#include <QStringList>

// Points a page's references at the plugin: every address a browser would load or follow that
// leads to a file of the page folder becomes that file's address in the installed plugin, and
// every link to another page of the site that page's WordPress address, its query and fragment
// kept. Addresses are found by an HTML5 tokenizer in attribute values, style attributes, style
// sheets and scripts, and resolved as a browser resolves them. What leads elsewhere stays byte
// for byte as written; what leads nowhere is reported.
class ReferenceConverter {
public:
    // files: the page folder's files, relative; fileUrlPrefix: what a file's relative path is
    // appended to for its address in the plugin.
    ReferenceConverter(const QStringList& files, SitePages pages, QString fileUrlPrefix);

    struct Result {
        QString text;
        QList<ReferenceProblem> problems;
    };
    // pagePath: where the page lies in the folder, which its relative addresses start from.
    Result convert(const QString& pageText, const QString& pagePath) const;

    // The files and pages of the folder the page's href attributes lead to, in page order.
    QStringList linkedFiles(const QString& pageText, const QString& pagePath) const;

    const SitePages& pages() const { return pages_; }

private:
    class Pass;
    QSet<QString> files_;
    SitePages pages_;
    QSet<QString> pageFiles_;
    QString fileUrlPrefix_;
};

// The PHP that prints the WordPress address of a page of the site.
QString PageLinkExpression(const QString& pagePath);
