// Preview and edit mode: editing a designated page in place, and storing it.
#include "Form2.h"

#include "util/FsPath.h"
#include "util/HelperOps.h"
#include "util/services/MessageBoxService.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QPushButton>

namespace {

const QString kEditCaption = QStringLiteral("Edit Page");
const QString kSaveCaption = QStringLiteral("Save / Discard Changes");

} // namespace

bool Form2::isEditing() const {
    return editing_.isEditing();
}

void Form2::Command2_Click() {
    if (editing_.isBusy())
        return; // the last request still waits for the page's markup
    if (editing_.isEditing()) {
        // The page being edited is saved, whatever the list or the designations say by now.
        editing_.leave(PathExists(workspace_.programFolder().saveMarker(), false));
        return;
    }
    const QString page = Combo1->currentText();
    if (page.isEmpty()) {
        services_.messages.MsgBox(QStringLiteral("Missing Info"),
                                  QStringLiteral("Please add one or more web pages (.htm / .html "
                                                 "files) to edit first."),
                                  MsgStyle::Information);
        return;
    }
    if (page != designatedPage(0) && page != designatedPage(1)) {
        services_.messages.MsgBox(QStringLiteral("Missing Info"),
                                  QStringLiteral("Please set this page as your front-end page or "
                                                 "your download page first."),
                                  MsgStyle::Information);
        return;
    }
    if (!isInWorkFolder(page)) {
        services_.messages.MsgBox(QStringLiteral("Missing Info"),
                                  QStringLiteral("%1 is not in Ostrel's working folder, so it "
                                                 "cannot be edited here: Ostrel never changes "
                                                 "your own files. Load its folder with + to edit "
                                                 "a copy.")
                                      .arg(page),
                                  MsgStyle::Information);
        return;
    }
    editing_.begin(page);
}

void Form2::setEditControls(bool editing) {
    Command2->setText(editing ? kSaveCaption : kEditCaption);
    Command2->setAccessibleName(Command2->text()); // screen readers say what is shown
    Command5->setEnabled(!editing);
    Combo1->setEnabled(!editing);
    cmdSetasFE->setEnabled(!editing && !isDesignated(0));
    cmdSetasDownloadPage->setEnabled(!editing && !isDesignated(1));
    cmdInsertFront->setEnabled(editing);
    cmdInsertBack->setEnabled(editing);
}

void Form2::closeEvent(QCloseEvent* event) {
    if (closeApproved_ || !editing_.isEditing()) {
        QWidget::closeEvent(event);
        return;
    }
    event->ignore();
    editing_.requestClose([this](bool mayClose) {
        if (!mayClose)
            return;
        closeApproved_ = true;
        close();
    });
}

bool Form2::isInWorkFolder(const QString& page) const {
    // Dropped files stand in the list where they are; saving one would change the user's own file.
    return leadsSameOrInside(page, workspace_.workFolder());
}

void Form2::SavePage(const QString& sTextToFind, const QString& sTextToReplace,
                     bool /*blnRefreshPage*/) {
    if (isInWorkFolder(editing_.isEditing() ? editing_.file() : WebBrowser1->currentFile()))
        editing_.replaceAndSave(sTextToFind, sTextToReplace);
}

void Form2::WebBrowser1_DownloadComplete() {
    editing_.onLoadComplete();
}

void Form2::Form_Activate() {
    // Back from another window in preview mode: show the page as it now is. Never while editing
    // or saving, so edits that are not stored yet survive.
    if (listMayChange() && Combo1->count() > 0)
        WebBrowser1->Navigate2(Combo1->currentText());
}

void Form2::cmdInsertFront_Click() {
    WebBrowser1->insertTextAtCaret(QStringLiteral("#FRONT#"));
}

void Form2::cmdInsertBack_Click() {
    WebBrowser1->insertTextAtCaret(QStringLiteral("#BACK#"));
}

void Form2::lblHelp_Click() {
    if (services_.openQuickHelp)
        services_.openQuickHelp();
}
