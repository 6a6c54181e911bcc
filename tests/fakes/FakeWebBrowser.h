#pragma once

#include "editor/WebBrowser.h"

#include <QStringList>

// A browser that shows nothing: it records navigations and design-mode changes, completes a
// load only when the test says so, and answers markup reads with a text the test sets.
class FakeWebBrowser : public WebBrowser {
    Q_OBJECT
public:
    using WebBrowser::WebBrowser;
    // Like the real engine, a browser that goes away answers its pending reads with nothing.
    ~FakeWebBrowser() override;

    QWidget* view() override { return nullptr; }
    void setSilent(bool silent) override { silent_ = silent; }
    bool isSilent() const override { return silent_; }
    void Navigate2(const QString& filePath) override;
    QString currentFile() const override { return current_; }
    void setDesignMode(const QString& mode) override { designModes << mode; }
    void readOuterHtml(HtmlCallback callback) override;
    void readPageMarkup(MarkupCallback callback) override;
    void insertTextAtCaret(const QString& text) override { inserted << text; }

    // Ends the pending load, as a real browser does some time after Navigate2.
    void completeLoad() { emit DownloadComplete(); }
    // Delivers the pending markup reads.
    void answerReads();

    QStringList navigations;
    QStringList designModes;
    QString outerHtml;
    QString doctype;
    QByteArray characterSet = "UTF-8";
    // The file the document came from; the last navigation's unless a test sets it, as a page
    // that goes elsewhere by itself would.
    QString documentFile;
    QStringList inserted;
    QList<HtmlCallback> pendingReads;

private:
    bool silent_ = false;
    QString current_;
};
