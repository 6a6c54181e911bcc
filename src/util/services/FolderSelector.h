#pragma once

#include <QString>

class QWidget;

// The folder chooser; returns the chosen folder's full path, or an empty text when the user
// cancels or anything fails.
class FolderSelector {
public:
    virtual ~FolderSelector() = default;
    virtual QString SelectFolder(QWidget* owner, const QString& title) = 0;
};
