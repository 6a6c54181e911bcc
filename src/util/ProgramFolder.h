#pragma once

#include <QString>

// The folder that holds the program and what ships beside it, and the places the program keeps
// its data: beside the program when its folder is writable (a build folder, an unpacked copy),
// else where the desktop keeps each user's data and documents.
class ProgramFolder {
public:
    // Everything beside the program.
    explicit ProgramFolder(QString path);
    // The program's own files in path; the working folder and the save marker in dataFolder;
    // archives in outputFolder.
    ProgramFolder(QString path, QString dataFolder, QString outputFolder);

    // The places for a program kept in path: beside it when the user may write there and it is
    // not a system folder, else $XDG_DATA_HOME/ostrel and $XDG_DOCUMENTS_DIR/Ostrel.
    static ProgramFolder placedFor(const QString& path);
    // The places for the folder of the running executable.
    static ProgramFolder ofRunningProgram();

    const QString& path() const { return path_; }
    const QString& dataFolder() const { return dataFolder_; }
    const QString& outputFolder() const { return outputFolder_; }
    QString workFolder() const { return join(dataFolder_, QStringLiteral("tmp")); }
    QString saveMarker() const { return join(dataFolder_, QStringLiteral("save.alt")); }
    QString templateFolder() const { return item(QStringLiteral("plugintemplatepro")); }
    QString blankPage() const { return item(QStringLiteral("blank.html")); }

    // The path of a name inside the program folder, joined by exactly one separator.
    QString item(const QString& name) const { return join(path_, name); }

private:
    static QString join(const QString& folder, const QString& name);

    QString path_;
    QString dataFolder_;
    QString outputFolder_;
};
