#pragma once

#include "util/services/FolderSelector.h"
#include "util/services/InputBoxService.h"
#include "util/services/MessageBoxService.h"

// The real dialogs, shown modally over the active window.
class QtMessageBox : public MessageBoxService {
public:
    int MsgBox(const QString& title, const QString& text, int style) override;
};

class QtInputBox : public InputBoxService {
public:
    QString InputBox(const QString& prompt, const QString& title,
                     const QString& defaultText) override;
};

class QtFolderSelector : public FolderSelector {
public:
    QString SelectFolder(QWidget* owner, const QString& title) override;
};
