#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

enum class Thanks { Included, LeftOut };

// A small plugin template: the four files every template must hold and, when given, the
// optional thanks.php, with the contents a test needs (placeholders included).
struct TemplateContents {
    QByteArray plugin;                // plugin.php
    QByteArray page;                  // modules/template/template.php
    QByteArray cpt;                   // modules/cpt.php
    QByteArray loader;                // modules/cpt_template_loader.php
    std::optional<QByteArray> thanks; // modules/template/thanks.php, left out when not given

    // Every file holding the same content.
    static TemplateContents alike(const QByteArray& content, Thanks thanks);
};

// Writes the template into folder, making the folders on the way.
void writeTemplate(const QString& folder, const TemplateContents& contents);
