#pragma once

#include <QObject>
#include <QString>
#include <functional>

class QWidget;

// The embedded browser that shows the current page and lets the user edit it in place.
// The window talks to it only through this interface, so tests can put a fake in its place.
class WebBrowser : public QObject {
    Q_OBJECT
public:
    using HtmlCallback = std::function<void(const QString& outerHtml)>;

    // A document's markup as saving needs it: the document type declaration, serialised
    // ("<!DOCTYPE html>"; empty when the page has none), the root element's outer HTML, the
    // encoding the page was read with ("windows-1252"), and the local file the document came
    // from, which may differ from the last one navigated to when the page went elsewhere itself.
    struct PageMarkup {
        QString doctype;
        QString outerHtml;
        QByteArray characterSet;
        QString file;
    };
    using MarkupCallback = std::function<void(const PageMarkup& markup)>;

    explicit WebBrowser(QObject* parent = nullptr) : QObject(parent) {}
    ~WebBrowser() override = default;

    // The widget to place in a window; null for a browser that shows nothing.
    virtual QWidget* view() = 0;

    // When silent, no dialog of the page (alert, confirm, prompt, ...) reaches the user.
    virtual void setSilent(bool silent) = 0;
    virtual bool isSilent() const = 0;

    // Starts loading a local file and returns at once; DownloadComplete follows when the
    // load has ended, whether it succeeded or not.
    virtual void Navigate2(const QString& filePath) = 0;

    // The local file of the document last navigated to.
    virtual QString currentFile() const = 0;

    // Switches in-place editing of the loaded document on ("On") or off ("off"); letter case
    // of the mode is ignored. Failures (no document loaded) are ignored.
    virtual void setDesignMode(const QString& mode) = 0;

    // Reads the markup of the document's root element as it now stands, edits included.
    // The callback runs later, on the window thread; it receives an empty text when there is
    // no document.
    virtual void readOuterHtml(HtmlCallback callback) = 0;

    // As readOuterHtml, with the rest of PageMarkup; all empty without a document.
    virtual void readPageMarkup(MarkupCallback callback) = 0;

    // Types text at the caret of the document being edited (at the end of its body when it has
    // no caret yet), as if the user typed it. Does nothing outside design mode.
    virtual void insertTextAtCaret(const QString& text) = 0;

signals:
    void DownloadComplete();
};
