#include "TestTemplate.h"

#include "TempFolder.h"

TemplateContents TemplateContents::alike(const QByteArray& content, Thanks thanks) {
    TemplateContents contents{content, content, content, content, std::nullopt};
    if (thanks == Thanks::Included)
        contents.thanks = content;
    return contents;
}

void writeTemplate(const QString& folder, const TemplateContents& contents) {
    writeBytes(folder + QStringLiteral("/plugin.php"), contents.plugin);
    writeBytes(folder + QStringLiteral("/modules/template/template.php"), contents.page);
    if (contents.thanks)
        writeBytes(folder + QStringLiteral("/modules/template/thanks.php"), *contents.thanks);
    writeBytes(folder + QStringLiteral("/modules/cpt.php"), contents.cpt);
    writeBytes(folder + QStringLiteral("/modules/cpt_template_loader.php"), contents.loader);
}
