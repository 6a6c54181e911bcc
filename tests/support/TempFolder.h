#pragma once

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

#include "QtPrinters.h"

// A scratch folder for one test, removed afterwards (undeletable marks included).
class TempFolder {
public:
    TempFolder();
    ~TempFolder();

    QString path() const { return dir_.path(); }
    QString operator/(const QString& relative) const { return dir_.path() + '/' + relative; }

    // Writes a file (parent folders created) and returns its full path.
    QString write(const QString& relative, const QByteArray& content = {}) const;
    QString makeFolder(const QString& relative) const;
    QString link(const QString& relative, const QString& target) const;

private:
    QTemporaryDir dir_;
};

QByteArray readBytes(const QString& path);
// Writes a file by its full path, creating the folders on the way.
void writeBytes(const QString& path, const QByteArray& content);

// Makes a file impossible to delete for this process: immutable as root, otherwise its folder
// is made read-only. Returns false when neither is possible here.
bool makeUndeletable(const QString& filePath);
void makeDeletable(const QString& filePath);
