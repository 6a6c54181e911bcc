#pragma once

#include "PluginDetails.h"

#include <QString>

// The oldest WordPress and PHP the plugin is claimed to run on: the header and readme.txt say
// so, and WordPress refuses to activate it on anything older.
inline constexpr char kRequiresWordPress[] = "6.1";
inline constexpr char kRequiresPhp[] = "7.4";

// The header block WordPress reads to list a plugin, one line per field, joined by LF: the
// details inserted as they stand but each kept on its own line (see OneLine), the versions the
// plugin needs, and its identifier as the text domain of its translations.
QString BuildPluginHeader(const PluginDetails& details, const QString& textDomain);

// The value with each line break (CR LF, LF or CR) made one space: a value that went on to a
// line of its own could pass for another header field.
QString OneLine(const QString& value);

// The text with every CR LF and lone CR made LF, so a PHP file has one line ending throughout.
QString WithLineFeeds(const QString& text);
