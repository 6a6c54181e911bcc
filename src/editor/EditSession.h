#pragma once

#include "editor/WebBrowser.h"

#include <QObject>
#include <QString>
#include <functional>

class MessageBoxService;

// Editing one page in place, from the moment it is opened for editing until its edits are stored
// or given up. The session is bound to that page's file: every save writes that file and only
// after making sure the browser's document still is that file. Widget-free, so the rules can be
// tested with a fake browser; the window only mirrors the state in its controls.
class EditSession : public QObject {
    Q_OBJECT
public:
    EditSession(WebBrowser& browser, MessageBoxService& messages, QObject* parent = nullptr);

    bool isEditing() const { return !file_.isEmpty(); }
    // A question or a markup read is pending; the session takes no new request until it ends.
    bool isBusy() const { return busy_; }
    // The file being edited; empty outside edit mode.
    const QString& file() const { return file_; }

    // Opens the file in the browser for editing.
    void begin(const QString& file);
    // The browser ended a load: design mode follows edit mode, and a fresh page's markup becomes
    // the measure of what changed.
    void onLoadComplete();

    // Ends edit mode, storing the edits when the user wants them. With askFirst the question comes
    // before anything is read and "Done!" confirms a save; otherwise only a changed page is asked
    // about. Cancel, a failed write or a browser that shows another document keep edit mode.
    void leave(bool askFirst);

    // Whether the window may close: unsaved edits are stored, given up or kept open as the user
    // chooses. The answer may come later, once the page's markup is in.
    void requestClose(const std::function<void(bool mayClose)>& decided) { settleEdits(decided); }

    // Before the saved file is used: unsaved edits are stored (Yes), left on screen unsaved (No)
    // or the use is called off (Cancel). Edit mode goes on either way; outside it, or with nothing
    // changed, the answer is yes at once.
    void settleEdits(const std::function<void(bool proceed)>& decided);

    // Replaces a text in the page as the browser holds it and stores the page: the edited file in
    // edit mode, else the file the browser shows.
    void replaceAndSave(const QString& find, const QString& replacement);

    // From now on answers that arrive (a browser going away answers with nothing) are ignored.
    void abandon() { abandoned_ = true; }

signals:
    void editingChanged(bool editing);
    // A page was written, in edit mode or by a tag inserted into the page shown.
    void pageSaved(const QString& file);

private:
    enum class Answer { Yes, No, Cancel };
    Answer askToSave();
    void readMarkup(const WebBrowser::MarkupCallback& use);
    bool showsFile(const WebBrowser::PageMarkup& markup, const QString& file) const;
    void reportOtherDocument(const WebBrowser::PageMarkup& markup, const QString& file);
    bool write(const WebBrowser::PageMarkup& markup, const QString& file);
    // Asks; No ends edit mode and Cancel keeps it. True for Yes, which is the caller's to carry
    // out.
    bool saveWanted();
    // "Done!" confirms the save when asked to.
    void writeAndEnd(const WebBrowser::PageMarkup& markup, bool confirm);
    void end();
    void stayInEditMode() { busy_ = false; }

    WebBrowser& browser_;
    MessageBoxService& messages_;
    QString file_;
    QString baseline_; // the page's markup when its load ended
    bool baselineWanted_ = false;
    bool busy_ = false;
    bool abandoned_ = false;
};
