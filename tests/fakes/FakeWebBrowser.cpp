#include "FakeWebBrowser.h"

FakeWebBrowser::~FakeWebBrowser() {
    outerHtml.clear();
    doctype.clear();
    answerReads();
}

void FakeWebBrowser::Navigate2(const QString& filePath) {
    current_ = filePath;
    documentFile = filePath;
    navigations << filePath;
}

void FakeWebBrowser::readOuterHtml(HtmlCallback callback) {
    pendingReads << std::move(callback);
}

void FakeWebBrowser::answerReads() {
    const auto reads = std::exchange(pendingReads, {});
    for (const auto& read : reads)
        read(outerHtml);
}

void FakeWebBrowser::readPageMarkup(MarkupCallback callback) {
    pendingReads << [this, callback = std::move(callback)](const QString& html) {
        callback({doctype, html, html.isEmpty() ? QByteArray() : characterSet,
                  html.isEmpty() ? QString() : documentFile});
    };
}
