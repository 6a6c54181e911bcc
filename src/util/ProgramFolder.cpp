#include "ProgramFolder.h"

#include <QCoreApplication>
#include <QDir>

ProgramFolder::ProgramFolder(QString path) : path_(QDir::cleanPath(std::move(path))) {}

ProgramFolder ProgramFolder::ofRunningProgram() {
    return ProgramFolder(QCoreApplication::applicationDirPath());
}

QString ProgramFolder::item(const QString& name) const {
    return path_.endsWith(QLatin1Char('/')) ? path_ + name : path_ + QLatin1Char('/') + name;
}
