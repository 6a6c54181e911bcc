#pragma once

#include <QString>
#include <QStringList>

// Every "p" (p an entry of assets, between double quotes) becomes "<prefix>p", entry by entry
// in list order, as a replace-all per entry would do it.
QString RewriteAssetPaths(const QString& text, const QStringList& assets, const QString& urlPrefix);
