#pragma once

#include <QString>

// The plugin header's texts, in header order, taken as typed.
struct PluginDetails {
    QString name;
    QString uri;
    QString description;
    QString version;
    QString author;
    QString authorUri;
    QString license;
};
