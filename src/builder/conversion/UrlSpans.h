#pragma once

#include <QList>
#include <QStringView>

// Where addresses stand in the texts that hold several: style sheets, srcset lists and scripts.
struct TextSpan {
    qsizetype start = 0;
    qsizetype length = 0;
    QChar quote; // the quote around it, if any
};

// The addresses of every url(...), in any quoting, and of every @import "...", without their
// quotes; comments are skipped.
QList<TextSpan> FindCssUrls(QStringView css);

// The address of every candidate of a srcset (or imagesrcset) list.
QList<TextSpan> FindSrcsetUrls(QStringView srcset);

// The contents of every string literal of a script, in any of its three quotes; comments are
// skipped.
QList<TextSpan> FindScriptStrings(QStringView script);
