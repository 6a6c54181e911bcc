#pragma once

#include <QByteArray>
#include <QMap>
#include <QString>
#include <QStringList>

// Reading a folder tree to prove it unchanged. Names are handled as bytes: names that are not
// UTF-8 must not be merged or lost by a decoding on the way. Links are never followed into.

// One line per entry under folder, sorted, the skipped subtrees left out: the relative name
// (percent-encoded), the type and mode, the modification time (not for a folder holding a
// skipped subtree, whose coming and going changes it), and for a file the digest of its
// content; for a link its target and, when it leads to a file, that file's digest.
QStringList fingerprint(const QString& folder, const QStringList& skipped = {});

// The regular files under folder: relative name -> content.
QMap<QByteArray, QByteArray> filesUnder(const QByteArray& folder);
