#pragma once

#include <QString>

// A failed build: a number (the failing operation's system error code, or the archiver's exit
// code) and a description of what failed on which path.
struct BuildError {
    int number = 0;
    QString description;

    QString message() const {
        return QStringLiteral("Error during plugin creation. Error Number:%1 Description:%2")
            .arg(number)
            .arg(description);
    }
};
