#pragma once

#include "PluginDetails.h"

#include <QString>
#include <QStringList>

// The template files the build personalises, relative to the plugin folder, in build order.
struct TemplateFile {
    QString relativePath;
    bool required;
    bool takesDetails; // the header, the menu name and the details' own placeholders
};
const QList<TemplateFile>& PersonalisedTemplateFiles();

// The placeholders of a template text filled in: the identifier everywhere; where details are
// given the header, the menu name, and #name#, #description#, #version# and #license# (each value
// on one line); and the line break after each PHP closing tag dropped.
QString PersonaliseTemplateText(const QString& text, const QString& pluginPrefix,
                                const PluginDetails* details);

// Personalises one file of the plugin folder in place; a missing optional file is skipped.
// Throws FileError.
void PersonaliseTemplateFile(const QString& pluginFolder, const TemplateFile& file,
                             const QString& pluginPrefix, const PluginDetails& details);
