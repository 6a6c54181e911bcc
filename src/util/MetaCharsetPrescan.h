#pragma once

#include <QByteArray>
#include <QByteArrayView>

// The encoding a page declares in a <meta> element, found the way a browser looks for it before
// parsing: comments and other tags are skipped, attributes are read with their quotes, unknown
// labels are passed over. A declared UTF-16 comes back as UTF-8 (the bytes just read were not
// UTF-16), x-user-defined as windows-1252. Empty when the bytes declare nothing usable.
QByteArray PrescanForCharset(QByteArrayView bytes);
