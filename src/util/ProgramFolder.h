#pragma once

#include <QString>

// The folder that holds the program, and the fixed items the program keeps in it.
class ProgramFolder {
public:
    explicit ProgramFolder(QString path);

    // The folder of the running executable.
    static ProgramFolder ofRunningProgram();

    const QString& path() const { return path_; }
    QString workFolder() const { return item(QStringLiteral("tmp")); }
    QString outputFolder() const { return item(QStringLiteral("output")); }
    QString templateFolder() const { return item(QStringLiteral("plugintemplatepro")); }
    QString blankPage() const { return item(QStringLiteral("blank.html")); }
    QString saveMarker() const { return item(QStringLiteral("save.alt")); }

    // The path of a name inside the program folder, joined by exactly one separator.
    QString item(const QString& name) const;

private:
    QString path_;
};
