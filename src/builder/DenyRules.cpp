#include "DenyRules.h"

#include "util/FileError.h"
#include "util/FsPath.h"
#include "util/TextFile.h"

#include <QMap>

#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

// Letters, digits, '_' and '-' as they are, '.' escaped, any other ASCII byte as \xHH: neither
// Apache's quoting nor the pattern can then read a name as anything but itself. Bytes of other
// characters stay, as the file system names them.
QByteArray patternFor(const QString& name) {
    QByteArray pattern;
    for (const char c : encodeUtf8Lossless(name)) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x80 || (byte >= '0' && byte <= '9') || (byte >= 'A' && byte <= 'Z') ||
            (byte >= 'a' && byte <= 'z') || c == '_' || c == '-')
            pattern += c;
        else if (c == '.')
            pattern += "\\.";
        else
            pattern += "\\x" + QByteArray::number(byte, 16).rightJustified(2, '0');
    }
    return pattern;
}

QByteArray xmlAttribute(const QString& text) {
    return text.toHtmlEscaped().replace(QLatin1Char('\''), QLatin1String("&#39;")).toUtf8();
}

void appendTo(const fs::path& file, const QByteArray& text) {
    const QString shown = fromFsPath(file);
    const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd < 0)
        throw FileError::fromErrno(errno, QStringLiteral("Cannot write"), shown);
    writeAllBytesAndClose(fd, text, shown);
}

} // namespace

DenyRules DenyRulesFor(const QStringList& fileNames) {
    QByteArrayList patterns;
    QByteArray segments;
    for (const QString& name : fileNames) {
        patterns += patternFor(name);
        segments += "\t\t\t\t\t<add segment=\"" + xmlAttribute(name) + "\" />\n";
    }
    DenyRules rules;
    rules.htaccess = "# The product's files are handed out through expiring links only.\n"
                     "<FilesMatch \"^(" +
                     patterns.join('|') +
                     ")$\">\n"
                     "\t<IfModule mod_authz_core.c>\n\t\tRequire all denied\n\t</IfModule>\n"
                     "\t<IfModule !mod_authz_core.c>\n\t\tOrder allow,deny\n\t\tDeny from all\n"
                     "\t</IfModule>\n"
                     "</FilesMatch>\n";
    rules.webConfig = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<configuration>\n"
                      "\t<system.webServer>\n\t\t<security>\n\t\t\t<requestFiltering>\n"
                      "\t\t\t\t<hiddenSegments>\n" +
                      segments +
                      "\t\t\t\t</hiddenSegments>\n\t\t\t</requestFiltering>\n\t\t</security>\n"
                      "\t</system.webServer>\n</configuration>\n";
    return rules;
}

void WriteDenyRules(const QString& root, const QStringList& relativePaths) {
    QMap<QString, QStringList> namesByFolder;
    for (const QString& path : relativePaths) {
        if (path.isEmpty() || path.startsWith(QLatin1Char('/')) ||
            path.split(QLatin1Char('/')).contains(QStringLiteral("..")))
            continue;
        const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
        QStringList& names = namesByFolder[slash < 0 ? QString() : path.left(slash)];
        const QString name = path.mid(slash + 1);
        if (!names.contains(name))
            names += name;
    }
    for (auto folder = namesByFolder.cbegin(); folder != namesByFolder.cend(); ++folder) {
        const fs::path dir =
            toFsPath(folder.key().isEmpty() ? root : root + QLatin1Char('/') + folder.key());
        std::error_code ec;
        if (!fs::is_directory(dir, ec) || fs::is_symlink(dir, ec))
            continue;
        const DenyRules rules = DenyRulesFor(folder.value());
        const fs::path htaccess = dir / ".htaccess";
        // After the site's own rules, which may end without a line break.
        const bool hasRules = fs::exists(fs::symlink_status(htaccess, ec));
        if (hasRules && fs::is_symlink(fs::symlink_status(htaccess, ec)))
            continue;
        appendTo(htaccess, hasRules ? "\n" + rules.htaccess : rules.htaccess);
        if (!fs::exists(fs::symlink_status(dir / "web.config", ec)))
            appendTo(dir / "web.config", rules.webConfig);
    }
}
