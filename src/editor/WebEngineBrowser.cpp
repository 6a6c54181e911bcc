#include "editor/WebEngineBrowser.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QWebEngineLoadingInfo>
#include <QWebEnginePage>
#include <QWebEngineScript>
#include <QWebEngineView>
#include <utility>

namespace {

QUrl fileUrl(const QString& path) {
    return QUrl::fromLocalFile(QDir::cleanPath(QFileInfo(path).absoluteFilePath()));
}

// The text as a JS string literal, whatever it holds.
QString jsString(const QString& text) {
    const QByteArray array = QJsonDocument(QJsonArray{text}).toJson(QJsonDocument::Compact);
    // Strip the brackets of the one-element array around it.
    return QString::fromUtf8(array.mid(1, array.size() - 2));
}

} // namespace

// Keeps the page's dialogs away from the user while the browser is silent.
class WebEngineBrowser::Page : public QWebEnginePage {
public:
    using QWebEnginePage::QWebEnginePage;

    bool silent = false;
    // Called when the user chose to stay on a page that objected to being left.
    std::function<void()> stayed;

protected:
    void javaScriptAlert(const QUrl& origin, const QString& msg) override {
        if (!silent)
            QWebEnginePage::javaScriptAlert(origin, msg);
    }

    bool javaScriptConfirm(const QUrl& origin, const QString& msg) override {
        // The engine also asks here before leaving a page with a beforeunload handler; a silent
        // browser must still go where it is sent.
        const bool leaving = msg == leaveQuestion();
        if (silent)
            return leaving;
        const bool accepted = QWebEnginePage::javaScriptConfirm(origin, msg);
        if (leaving && !accepted && stayed)
            stayed();
        return accepted;
    }

    bool javaScriptPrompt(const QUrl& origin, const QString& msg, const QString& defaultValue,
                          QString* result) override {
        return !silent && QWebEnginePage::javaScriptPrompt(origin, msg, defaultValue, result);
    }

    QStringList chooseFiles(FileSelectionMode mode, const QStringList& oldFiles,
                            const QStringList& acceptedMimeTypes) override {
        if (silent)
            return {};
        return QWebEnginePage::chooseFiles(mode, oldFiles, acceptedMimeTypes);
    }

private:
    // The engine's own wording, translated the same way it is.
    static QString leaveQuestion() {
        return QCoreApplication::translate(
            "QWebEnginePage",
            "Are you sure you want to leave this page? Changes that you made may not be saved.");
    }
};

WebEngineBrowser::WebEngineBrowser(QObject* parent)
    : WebBrowser(parent), view_(new QWebEngineView), page_(new Page(this)) {
    view_->setPage(page_);
    page_->stayed = [this] { onStayedOnPage(); };
    connect(page_, &QWebEnginePage::loadingChanged, this, &WebEngineBrowser::onLoadingChanged);
}

WebEngineBrowser::~WebEngineBrowser() {
    // A widget cannot be our child; unless its window took it away already, it goes here, before
    // the page it shows.
    delete view_;
}

QWidget* WebEngineBrowser::view() {
    return view_;
}

void WebEngineBrowser::setSilent(bool silent) {
    page_->silent = silent;
}

bool WebEngineBrowser::isSilent() const {
    return page_->silent;
}

void WebEngineBrowser::Navigate2(const QString& filePath) {
    if (!navigating_) {
        stayFile_ = current_;
        stayLoaded_ = loaded_;
    }
    navigating_ = true;
    current_ = filePath;
    currentUrl_ = fileUrl(filePath);
    loaded_ = false;
    pendingDesignMode_.clear();
    page_->load(currentUrl_);
}

bool WebEngineBrowser::isCurrent(const QUrl& url) const {
    // The engine hands back its own spelling of the URL; compare the files instead.
    return url.isLocalFile() && QDir::cleanPath(url.toLocalFile()) == currentUrl_.toLocalFile();
}

void WebEngineBrowser::onLoadingChanged(const QWebEngineLoadingInfo& info) {
    navigating_ = false;
    if (info.status() == QWebEngineLoadingInfo::LoadStartedStatus)
        return;
    // Loads the page started itself (links, scripts) end here too, but leave nothing to edit.
    loaded_ = info.status() == QWebEngineLoadingInfo::LoadSucceededStatus && isCurrent(info.url());
    if (loaded_ && !pendingDesignMode_.isEmpty())
        applyDesignMode(std::exchange(pendingDesignMode_, {}));
    emit DownloadComplete();
}

void WebEngineBrowser::onStayedOnPage() {
    // The navigation never starts, so no load will end it; the old document stays current.
    if (!navigating_)
        return;
    navigating_ = false;
    current_ = stayFile_;
    currentUrl_ = fileUrl(current_);
    loaded_ = stayLoaded_;
    emit DownloadComplete();
}

void WebEngineBrowser::setDesignMode(const QString& mode) {
    QString value;
    if (mode.compare(QLatin1String("on"), Qt::CaseInsensitive) == 0)
        value = QStringLiteral("on");
    else if (mode.compare(QLatin1String("off"), Qt::CaseInsensitive) == 0)
        value = QStringLiteral("off");
    else
        return;
    if (loaded_)
        applyDesignMode(value);
    else
        pendingDesignMode_ = value;
}

void WebEngineBrowser::applyDesignMode(const QString& value) {
    // The page's own world, where edits and later reads of the document happen.
    page_->runJavaScript(QStringLiteral("document.designMode = '%1';").arg(value),
                         QWebEngineScript::MainWorld);
}

void WebEngineBrowser::readOuterHtml(HtmlCallback callback) {
    readPageMarkup(
        [callback = std::move(callback)](const PageMarkup& markup) { callback(markup.outerHtml); });
}

void WebEngineBrowser::readPageMarkup(MarkupCallback callback) {
    if (!loaded_) {
        QMetaObject::invokeMethod(
            this, [callback = std::move(callback)] { callback({}); }, Qt::QueuedConnection);
        return;
    }
    // One script for all, so they never come from two different moments of the document.
    page_->runJavaScript(
        QStringLiteral("[document.doctype ? new XMLSerializer().serializeToString(document.doctype)"
                       " : '', document.documentElement ? document.documentElement.outerHTML : '',"
                       " document.characterSet, document.URL]"),
        QWebEngineScript::MainWorld, [callback = std::move(callback)](const QVariant& result) {
            const QVariantList parts = result.toList();
            PageMarkup markup;
            if (parts.size() == 4) {
                markup.doctype = parts.at(0).toString();
                markup.outerHtml = parts.at(1).toString();
                markup.characterSet = parts.at(2).toString().toLatin1();
                const QUrl url(parts.at(3).toString());
                if (url.isLocalFile())
                    markup.file = QDir::cleanPath(url.toLocalFile());
            }
            callback(markup);
        });
}

void WebEngineBrowser::insertTextAtCaret(const QString& text) {
    if (!loaded_)
        return;
    // A document nobody has clicked into yet has no caret; typing then goes to the end of it.
    const QString script =
        QStringLiteral("((text) => {"
                       "if (document.designMode !== 'on') return false;"
                       "const selection = getSelection();"
                       "if (!selection.rangeCount) {"
                       "const range = document.createRange();"
                       "range.selectNodeContents(document.body || document.documentElement);"
                       "range.collapse(false);"
                       "selection.addRange(range);"
                       "}"
                       "document.execCommand('insertText', false, text);"
                       "return true;"
                       "})(%1)")
            .arg(jsString(text));
    page_->runJavaScript(script, QWebEngineScript::MainWorld, [view = view_](const QVariant& done) {
        // The user came from a button outside the view; let them type on where the text went.
        if (done.toBool() && view)
            view->setFocus(Qt::OtherFocusReason);
    });
}
