#pragma once

#include "PluginDetails.h"

#include <QString>

// The header block WordPress reads to list a plugin: eleven lines joined by CR LF, the values
// inserted exactly as they stand.
QString BuildPluginHeader(const QString& name, const QString& uri, const QString& description,
                          const QString& version, const QString& author, const QString& authorUri,
                          const QString& license);
QString BuildPluginHeader(const PluginDetails& details);
