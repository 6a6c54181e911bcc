#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

// The stretches of a page's markup that may hold addresses, found by an HTML5 tokenizer as a
// browser finds them: attribute values, style sheets and scripts. Offsets are bytes of the page
// as UTF-8, in source order, none overlapping.
struct MarkupRegion {
    enum class Kind { Attribute, StyleSheet, Script };
    Kind kind = Kind::Attribute;
    qsizetype start = 0; // the value without its quotes, or the element's text
    qsizetype end = 0;
    QString element;   // lower case
    QString attribute; // lower case; empty for style sheets and scripts
    QChar quote;       // the attribute value's quote, if it has one
    QString metaName;  // <meta content>: the element's property, name or itemprop, lower case
};

QList<MarkupRegion> FindMarkupRegions(const QByteArray& utf8Page);
