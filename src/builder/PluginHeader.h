#pragma once

#include "PluginDetails.h"

#include <QString>

// The header block WordPress reads to list a plugin: eleven lines joined by CR LF, the values
// inserted as they stand but each kept on its own line (see OneLine).
QString BuildPluginHeader(const QString& name, const QString& uri, const QString& description,
                          const QString& version, const QString& author, const QString& authorUri,
                          const QString& license);
QString BuildPluginHeader(const PluginDetails& details);

// The value with each line break (CR LF, LF or CR) made one space: a value that went on to a
// line of its own could pass for another header field.
QString OneLine(const QString& value);
