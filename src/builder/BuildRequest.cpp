#include "BuildRequest.h"

#include "util/TextFile.h"

#include <QList>
#include <QRegularExpression>
#include <QUrl>

namespace {

struct Field {
    const QString PluginDetails::*member;
    QString label;
};

// In the order the details window checks them.
const QList<Field>& requiredFields() {
    static const QList<Field> fields{
        {&PluginDetails::name, QStringLiteral("Plugin Name")},
        {&PluginDetails::author, QStringLiteral("Author")},
        {&PluginDetails::authorUri, QStringLiteral("Author Url")},
        {&PluginDetails::version, QStringLiteral("Version")},
        {&PluginDetails::description, QStringLiteral("Description")},
        {&PluginDetails::uri, QStringLiteral("Plugin URI")},
    };
    return fields;
}

bool isUsableFileName(const QString& name) {
    if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String(".."))
        return false;
    for (const QChar c : name) {
        if (c.category() == QChar::Other_Control || QStringLiteral("/\\:*?\"<>|").contains(c))
            return false;
    }
    return true;
}

bool isWebAddress(const QString& text) {
    const QUrl url(text.trimmed(), QUrl::StrictMode);
    const QString scheme = url.scheme().toLower();
    return url.isValid() && (scheme == QLatin1String("http") || scheme == QLatin1String("https")) &&
           !url.host().isEmpty();
}

} // namespace

QString ArchiveBaseName(const QString& pluginName) {
    return QString(pluginName).remove(QLatin1Char(' ')).toLower();
}

QString ArchivePath(const BuildRequest& request) {
    return request.outputFolder + QLatin1Char('/') + ArchiveBaseName(request.details.name) +
           QStringLiteral(".zip");
}

QString FindRequestProblem(const PluginDetails& details, const QString& pluginPrefix) {
    for (const Field& field : requiredFields()) {
        if ((details.*field.member).isEmpty())
            return QStringLiteral("All the fields are required.");
    }
    // Addresses go into the header as links on the Plugins screen: a web address or nothing.
    for (const Field& field : {Field{&PluginDetails::uri, QStringLiteral("Plugin URI")},
                               Field{&PluginDetails::authorUri, QStringLiteral("Author Url")}}) {
        if (!isWebAddress(details.*field.member))
            return QStringLiteral("The %1 must be a web address starting with http:// or "
                                  "https://, such as https://www.example.com/.")
                .arg(field.label);
    }
    // \z, not $: a $ would also let a line break through at the end.
    static const QRegularExpression identifier(
        QStringLiteral("^[A-Za-z0-9][A-Za-z0-9_-]{0,19}\\z"));
    if (!identifier.match(pluginPrefix).hasMatch())
        return QStringLiteral("The unique identifier must be 1 to 20 characters long: letters, "
                              "digits, \"_\" and \"-\", starting with a letter or a digit.");
    if (!isUsableFileName(ArchiveBaseName(details.name)))
        return QStringLiteral("The plugin name \"%1\" cannot name the plugin's archive. Please use "
                              "letters, numbers and spaces.")
            .arg(details.name);
    const qsizetype archiveBytes =
        encodeUtf8Lossless(ArchiveBaseName(details.name) + QStringLiteral(".zip")).size();
    if (archiveBytes > kFileNameMaxBytes)
        return QStringLiteral("The plugin name is too long: the archive's name would take %1 "
                              "bytes, and a file name may take at most %2. Please shorten it.")
            .arg(archiveBytes)
            .arg(kFileNameMaxBytes);
    QList<Field> headerFields = requiredFields();
    headerFields << Field{&PluginDetails::license, QStringLiteral("License")};
    for (const Field& field : headerFields) {
        if ((details.*field.member).contains(QStringLiteral("*/")))
            return QStringLiteral("The %1 field cannot hold \"*/\": it would end the plugin header "
                                  "and break the plugin.")
                .arg(field.label);
    }
    return {};
}
