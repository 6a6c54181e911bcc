#include "TemplatePersonaliser.h"

#include "PluginHeader.h"
#include "util/FsPath.h"
#include "util/HelperOps.h"
#include "util/TextFile.h"

#include <filesystem>

const QList<TemplateFile>& PersonalisedTemplateFiles() {
    static const QList<TemplateFile> files{
        {QStringLiteral("modules/template/template.php"), true, false},
        {QStringLiteral("modules/template/thanks.php"), false, false},
        {QStringLiteral("modules/cpt.php"), true, false},
        {QStringLiteral("modules/cpt_template_loader.php"), true, false},
        {QStringLiteral("plugin.php"), true, true},
        // The rest carry the identifier as their translations' text domain.
        {QStringLiteral("modules/admin.php"), false, false},
        {QStringLiteral("modules/store.php"), false, false},
        {QStringLiteral("modules/stripe.php"), false, false},
        {QStringLiteral("modules/paypal.php"), false, false},
        {QStringLiteral("modules/lemonsqueezy.php"), false, false},
        {QStringLiteral("modules/delivery_links.php"), false, false},
        {QStringLiteral("modules/grants.php"), false, false},
        {QStringLiteral("modules/buyers.php"), false, false},
        {QStringLiteral("modules/protection_check.php"), false, false},
        {QStringLiteral("uninstall.php"), false, false},
        // It names no Contributors: those are WordPress.org user names, which only a seller who
        // publishes the plugin there has, and adds.
        {QStringLiteral("readme.txt"), false, true},
    };
    return files;
}

QString PersonaliseTemplateText(const QString& text, const QString& pluginPrefix,
                                const PluginDetails* details) {
    // The identifier goes in before the header, so "#prefix#" typed into a field stays as typed.
    QString result = ReplaceText(text, QStringLiteral("#prefix#"), pluginPrefix);
    if (details) {
        result = ReplaceText(result, QStringLiteral("#header#"),
                             BuildPluginHeader(*details, pluginPrefix));
        const std::pair<const char*, const QString*> values[] = {
            {"#menuname#", &details->name},           {"#name#", &details->name},
            {"#description#", &details->description}, {"#version#", &details->version},
            {"#license#", &details->license},
        };
        for (const auto& [placeholder, value] : values)
            result = ReplaceText(result, QLatin1String(placeholder), OneLine(*value));
    }
    // A template saved with CR LF keeps no CR: the file ends up with LF throughout.
    return WithLineFeeds(ReplaceText(result, QStringLiteral("?>\r\n"), QStringLiteral("?>")));
}

void PersonaliseTemplateFile(const QString& pluginFolder, const TemplateFile& file,
                             const QString& pluginPrefix, const PluginDetails& details) {
    const QString path = pluginFolder + QLatin1Char('/') + file.relativePath;
    std::error_code ec;
    if (!file.required && !std::filesystem::is_regular_file(toFsPath(path), ec))
        return;
    const QString text = LoadTextFromFile(path);
    SaveTextToFile(
        PersonaliseTemplateText(text, pluginPrefix, file.takesDetails ? &details : nullptr), path);
}
