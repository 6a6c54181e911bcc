// Preview and edit mode: editing a designated page in place, and storing it.
#include "Form2.h"

#include "util/FileError.h"
#include "util/HelperOps.h"
#include "util/TextFile.h"
#include "util/services/MessageBoxService.h"

#include <QComboBox>
#include <QPushButton>

namespace {

const QString kEditCaption = QStringLiteral("Edit Page");
const QString kSaveCaption = QStringLiteral("Save / Discard Changes");

// What a save writes: the document type declaration in front of the root element, so the page
// keeps the rendering mode it was made for.
QString savedPageText(const WebBrowser::PageMarkup& markup) {
    return markup.doctype.isEmpty() ? markup.outerHtml
                                    : markup.doctype + QLatin1Char('\n') + markup.outerHtml;
}

} // namespace

bool Form2::isEditing() const {
    return Command2->text() != kEditCaption;
}

void Form2::Command2_Click() {
    if (saving_)
        return; // the last save is still waiting for the page's markup
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
    if (!isEditing()) {
        setEditControls(true);
        editBaseline_.clear();
        baselineWanted_ = true;
        WebBrowser1->Navigate2(page);
        return;
    }
    leaveEditMode(page);
}

void Form2::setEditControls(bool editing) {
    Command2->setText(editing ? kSaveCaption : kEditCaption);
    Command5->setEnabled(!editing);
    Combo1->setEnabled(!editing);
    cmdSetasFE->setEnabled(!editing && !isDesignated(0));
    cmdSetasDownloadPage->setEnabled(!editing && !isDesignated(1));
    cmdInsertFront->setEnabled(editing);
    cmdInsertBack->setEnabled(editing);
}

void Form2::leaveEditMode(const QString& page) {
    setEditControls(false);
    // The page is taken now: whatever happens until the markup arrives, it is the one written.
    if (PathExists(workspace_.programFolder().saveMarker(), false))
        saveWithWorkaround(page);
    else
        saveIfChanged(page);
}

void Form2::saveWithWorkaround(const QString& page) {
    const int answer = services_.messages.MsgBox(
        QStringLiteral("Save"), QStringLiteral("Save changes?"), MsgStyle::YesNoQuestion);
    if (answer != MsgResult::Yes) {
        services_.messages.MsgBox(QStringLiteral("Done"), QStringLiteral("Done!"),
                                  MsgStyle::Information);
        finishSave(page);
        return;
    }
    saving_ = true;
    readMarkup([this, page](const WebBrowser::PageMarkup& markup) {
        if (!writePage(page, markup))
            return;
        services_.messages.MsgBox(QStringLiteral("Done"), QStringLiteral("Done!"),
                                  MsgStyle::Information);
        finishSave(page);
    });
}

void Form2::saveIfChanged(const QString& page) {
    saving_ = true;
    readMarkup([this, page](const WebBrowser::PageMarkup& markup) {
        const bool changed = !markup.outerHtml.isEmpty() && markup.outerHtml != editBaseline_;
        if (changed &&
            services_.messages.MsgBox(QStringLiteral("Save"), QStringLiteral("Save changes?"),
                                      MsgStyle::YesNoQuestion) == MsgResult::Yes &&
            !writePage(page, markup))
            return;
        finishSave(page);
    });
}

bool Form2::writePage(const QString& page, const WebBrowser::PageMarkup& markup) {
    if (markup.outerHtml.isEmpty())
        return true; // no document to take the page from: the file stays as it is
    try {
        SaveTextToFile(savedPageText(markup), page);
        return true;
    } catch (const FileError& error) {
        saving_ = false;
        setEditControls(true); // the edits are still in the browser; let the user try again
        showError(
            QStringLiteral("The page could not be saved, so it is still open for editing.\n%1")
                .arg(error.description()));
        return false;
    }
}

void Form2::readMarkup(const WebBrowser::MarkupCallback& use) {
    // A browser that goes away answers its pending reads with nothing; a closing window must not
    // act on those answers.
    WebBrowser1->readPageMarkup([this, use](const WebBrowser::PageMarkup& markup) {
        if (!closing_)
            use(markup);
    });
}

void Form2::finishSave(const QString& page) {
    saving_ = false;
    WebBrowser1->Navigate2(page); // shows the file as it now is on disk
}

void Form2::SavePage(const QString& sTextToFind, const QString& sTextToReplace,
                     bool /*blnRefreshPage*/) {
    const QString page = Combo1->currentText();
    readMarkup([this, page, sTextToFind, sTextToReplace](WebBrowser::PageMarkup markup) {
        markup.outerHtml = ReplaceText(markup.outerHtml, sTextToFind, sTextToReplace, 0);
        if (markup.outerHtml.isEmpty())
            return;
        try {
            SaveTextToFile(savedPageText(markup), page);
        } catch (const FileError& error) {
            showError(QStringLiteral("The page could not be saved.\n%1").arg(error.description()));
        }
    });
}

void Form2::WebBrowser1_DownloadComplete() {
    if (!isEditing()) {
        WebBrowser1->setDesignMode(QStringLiteral("off"));
        return;
    }
    WebBrowser1->setDesignMode(QStringLiteral("On"));
    if (std::exchange(baselineWanted_, false))
        readMarkup(
            [this](const WebBrowser::PageMarkup& markup) { editBaseline_ = markup.outerHtml; });
}

void Form2::Form_Activate() {
    // Back from another window in preview mode: show the page as it now is. Never while editing
    // or saving, so edits that are not stored yet survive.
    if (!isEditing() && !saving_ && Combo1->count() > 0)
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
