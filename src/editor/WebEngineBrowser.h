#pragma once

#include "editor/WebBrowser.h"

#include <QPointer>
#include <QUrl>

class QWebEngineLoadingInfo;
class QWebEngineView;

// The browser of the window: a Chromium-based view showing local files.
class WebEngineBrowser : public WebBrowser {
    Q_OBJECT
public:
    explicit WebEngineBrowser(QObject* parent = nullptr);
    ~WebEngineBrowser() override;

    QWidget* view() override;
    void setSilent(bool silent) override;
    bool isSilent() const override;
    void Navigate2(const QString& filePath) override;
    QString currentFile() const override { return current_; }
    void setDesignMode(const QString& mode) override;
    void readOuterHtml(HtmlCallback callback) override;
    void readPageMarkup(MarkupCallback callback) override;
    void insertTextAtCaret(const QString& text) override;

private:
    class Page;

    void onLoadingChanged(const QWebEngineLoadingInfo& info);
    void onStayedOnPage();
    bool isCurrent(const QUrl& url) const;
    void applyDesignMode(const QString& value);

    // The window that shows the view may delete it before us.
    QPointer<QWebEngineView> view_;
    Page* page_;

    QString current_;
    QUrl currentUrl_;
    // Whether the shown document is the one of current_; only that one may be read or edited.
    bool loaded_ = false;
    // Set between Navigate2 and the start of its load, when the page may still refuse to go.
    bool navigating_ = false;
    QString stayFile_;
    bool stayLoaded_ = false;
    // A design mode asked for before the document of current_ was in.
    QString pendingDesignMode_;
};
