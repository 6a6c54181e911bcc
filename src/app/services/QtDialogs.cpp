#include "QtDialogs.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>

namespace {

QMessageBox::Icon iconFor(int style) {
    switch (style & 0x70) {
    case MsgStyle::Critical:
        return QMessageBox::Critical;
    case MsgStyle::Question:
        return QMessageBox::Question;
    case MsgStyle::Exclamation:
        return QMessageBox::Warning;
    case MsgStyle::Information:
        return QMessageBox::Information;
    default:
        return QMessageBox::NoIcon;
    }
}

} // namespace

int QtMessageBox::MsgBox(const QString& title, const QString& text, int style) {
    const int buttons = style & 0x7;
    const bool yesNo = buttons == MsgStyle::YesNo;
    const bool yesNoCancel = buttons == MsgStyle::YesNoCancel;
    QMessageBox box(iconFor(style), title, text,
                    yesNoCancel ? QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel
                    : yesNo     ? QMessageBox::Yes | QMessageBox::No
                                : QMessageBox::Ok,
                    QApplication::activeWindow());
    box.setTextFormat(Qt::PlainText); // paths and page names are never markup
    box.setEscapeButton(yesNoCancel ? QMessageBox::Cancel
                        : yesNo     ? QMessageBox::No
                                    : QMessageBox::Ok);
    if ((style & MsgStyle::DefaultButton3) && yesNoCancel)
        box.setDefaultButton(QMessageBox::Cancel);
    else if ((style & MsgStyle::DefaultButton2) && (yesNo || yesNoCancel))
        box.setDefaultButton(QMessageBox::No);
    else if (yesNo || yesNoCancel)
        box.setDefaultButton(QMessageBox::Yes);
    switch (box.exec()) {
    case QMessageBox::Yes:
        return MsgResult::Yes;
    case QMessageBox::No:
        return MsgResult::No;
    case QMessageBox::Cancel:
        return MsgResult::Cancel;
    default:
        return yesNo ? MsgResult::No : yesNoCancel ? MsgResult::Cancel : MsgResult::Ok;
    }
}

QString QtInputBox::InputBox(const QString& prompt, const QString& title,
                             const QString& defaultText) {
    bool accepted = false;
    const QString text = QInputDialog::getText(QApplication::activeWindow(), title, prompt,
                                               QLineEdit::Normal, defaultText, &accepted);
    return accepted ? text : QString();
}

QString QtFolderSelector::SelectFolder(QWidget* owner, const QString& title) {
    const QString chosen =
        QFileDialog::getExistingDirectory(owner, title, QString(), QFileDialog::ShowDirsOnly);
    return chosen.isEmpty() ? QString() : QDir::cleanPath(chosen);
}
