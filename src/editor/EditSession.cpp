#include "editor/EditSession.h"

#include "util/FileError.h"
#include "util/HelperOps.h"
#include "util/PageEncoding.h"
#include "util/services/MessageBoxService.h"

#include <QDir>
#include <QFileInfo>

namespace {

// What a save writes: the document type declaration in front of the root element, so the page
// keeps the rendering mode it was made for.
QString savedPageText(const WebBrowser::PageMarkup& markup) {
    return markup.doctype.isEmpty() ? markup.outerHtml
                                    : markup.doctype + QLatin1Char('\n') + markup.outerHtml;
}

QString comparablePath(const QString& path) {
    const QFileInfo info(path);
    const QString canonical = info.canonicalFilePath();
    return canonical.isEmpty() ? QDir::cleanPath(info.absoluteFilePath()) : canonical;
}

} // namespace

EditSession::EditSession(WebBrowser& browser, MessageBoxService& messages, QObject* parent)
    : QObject(parent), browser_(browser), messages_(messages) {}

void EditSession::begin(const QString& file) {
    if (isEditing() || busy_ || file.isEmpty())
        return;
    file_ = file;
    baseline_.clear();
    baselineWanted_ = true;
    emit editingChanged(true);
    browser_.Navigate2(file_);
}

void EditSession::onLoadComplete() {
    if (!isEditing()) {
        browser_.setDesignMode(QStringLiteral("off"));
        return;
    }
    browser_.setDesignMode(QStringLiteral("On"));
    if (!std::exchange(baselineWanted_, false))
        return;
    readMarkup([this](const WebBrowser::PageMarkup& markup) {
        baseline_ = showsFile(markup, file_) ? markup.outerHtml : QString();
    });
}

void EditSession::leave(bool askFirst) {
    if (!isEditing() || busy_)
        return;
    busy_ = true;
    if (askFirst && !saveWanted())
        return;
    readMarkup([this, askFirst](const WebBrowser::PageMarkup& markup) {
        if (!showsFile(markup, file_))
            return reportOtherDocument(markup, file_);
        if (askFirst)
            return writeAndEnd(markup, true);
        if (markup.outerHtml == baseline_)
            return end();
        if (saveWanted())
            writeAndEnd(markup, false);
    });
}

bool EditSession::saveWanted() {
    switch (askToSave()) {
    case Answer::Yes:
        return true;
    case Answer::No:
        end();
        return false;
    case Answer::Cancel:
        break;
    }
    stayInEditMode();
    return false;
}

void EditSession::writeAndEnd(const WebBrowser::PageMarkup& markup, bool confirm) {
    if (!write(markup, file_))
        return stayInEditMode();
    if (confirm)
        messages_.MsgBox(QStringLiteral("Done"), QStringLiteral("Done!"), MsgStyle::Information);
    end();
}

void EditSession::settleEdits(const std::function<void(bool proceed)>& decided) {
    if (!isEditing())
        return decided(true);
    if (busy_)
        return decided(false);
    busy_ = true;
    readMarkup([this, decided](const WebBrowser::PageMarkup& markup) {
        // A browser that left the page took its edits along: there is nothing left to store.
        if (!showsFile(markup, file_) || markup.outerHtml == baseline_) {
            busy_ = false;
            return decided(true);
        }
        const Answer answer = askToSave();
        const bool written = answer == Answer::Yes && write(markup, file_);
        if (written)
            baseline_ = markup.outerHtml; // stored: nothing left to ask about
        busy_ = false;
        decided(answer == Answer::No || written);
    });
}

void EditSession::replaceAndSave(const QString& find, const QString& replacement) {
    if (busy_)
        return;
    const QString file = isEditing() ? file_ : browser_.currentFile();
    busy_ = true;
    readMarkup([this, file, find, replacement](WebBrowser::PageMarkup markup) {
        if (!showsFile(markup, file))
            return reportOtherDocument(markup, file);
        busy_ = false;
        markup.outerHtml = ReplaceText(markup.outerHtml, find, replacement, 0);
        if (!markup.outerHtml.isEmpty())
            write(markup, file);
    });
}

EditSession::Answer EditSession::askToSave() {
    switch (messages_.MsgBox(QStringLiteral("Save"), QStringLiteral("Save changes?"),
                             MsgStyle::YesNoCancelQuestion)) {
    case MsgResult::Yes:
        return Answer::Yes;
    case MsgResult::No:
        return Answer::No;
    default:
        return Answer::Cancel;
    }
}

void EditSession::readMarkup(const WebBrowser::MarkupCallback& use) {
    browser_.readPageMarkup([this, use](const WebBrowser::PageMarkup& markup) {
        if (!abandoned_)
            use(markup);
    });
}

bool EditSession::showsFile(const WebBrowser::PageMarkup& markup, const QString& file) const {
    return !markup.outerHtml.isEmpty() && !markup.file.isEmpty() && !file.isEmpty() &&
           comparablePath(markup.file) == comparablePath(file);
}

void EditSession::reportOtherDocument(const WebBrowser::PageMarkup& markup, const QString& file) {
    busy_ = false;
    const QString shown = markup.outerHtml.isEmpty() ? QStringLiteral("no page")
                          : markup.file.isEmpty()    ? QStringLiteral("another document")
                                                     : markup.file;
    if (!isEditing()) {
        messages_.MsgBox(
            QStringLiteral("Not Saved"),
            QStringLiteral("Nothing was saved: the browser shows %1, not %2.").arg(shown, file),
            MsgStyle::Information);
        return;
    }
    messages_.MsgBox(QStringLiteral("Not Saved"),
                     QStringLiteral("Nothing was saved: the browser shows %1, not %2, the page "
                                    "being edited. A script of the page may have opened it.\n\n"
                                    "%2 is opened again, still for editing.")
                         .arg(shown, file),
                     MsgStyle::Information);
    baselineWanted_ = true;
    browser_.Navigate2(file_);
}

bool EditSession::write(const WebBrowser::PageMarkup& markup, const QString& file) {
    try {
        SavePageToFile(savedPageText(markup), markup.characterSet, file);
        emit pageSaved(file);
        return true;
    } catch (const FileError& error) {
        messages_.MsgBox(QStringLiteral("Error"),
                         (isEditing() ? QStringLiteral("The page could not be saved, so it is "
                                                       "still open for editing.\n%1")
                                      : QStringLiteral("The page could not be saved.\n%1"))
                             .arg(error.description()),
                         MsgStyle::Information);
        return false;
    }
}

void EditSession::end() {
    const QString file = std::exchange(file_, {});
    busy_ = false;
    baselineWanted_ = false;
    emit editingChanged(false);
    browser_.Navigate2(file); // shows the file as it now is on disk
}
