#include "editor/WebEngineBrowser.h"
#include "support/TempFolder.h"

#include <QApplication>
#include <QEventLoop>
#include <QKeyEvent>
#include <QTimer>
#include <QWebEnginePage>
#include <QWebEngineView>
#include <functional>
#include <gtest/gtest.h>
#include <optional>

namespace {

// The engine runs in other processes on a slow machine; these bound hangs, they do not time.
constexpr int kWaitMs = 20000;

// Spins the event loop until done() holds or the wait runs out; returns done().
bool waitUntil(const std::function<bool()>& done) {
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (done())
            loop.quit();
    });
    QTimer::singleShot(kWaitMs, &loop, &QEventLoop::quit);
    poll.start(20);
    if (!done())
        loop.exec();
    return done();
}

QByteArray page(const QByteArray& body) {
    return "<!DOCTYPE html><html><head><meta charset=\"utf-8\"></head><body>" + body +
           "</body></html>";
}

// A page whose script asks the user three questions while it loads and writes the answers down.
const QByteArray kAskingPage = page("<div id=\"answers\"></div><script>"
                                    "alert('hello');"
                                    "const c = confirm('go on?');"
                                    "const p = prompt('name?', 'default');"
                                    "document.getElementById('answers').textContent = c + '|' + p;"
                                    "</script>");

// A page that objects to being left once the user has touched it.
const QByteArray kClingingPage =
    page("<input id=\"field\"><script>"
         "addEventListener('keydown', () => { document.title = 'touched'; });"
         "addEventListener('beforeunload', e => { e.preventDefault(); e.returnValue = 'stay'; });"
         "</script>");

class WebEngineBrowserTest : public ::testing::Test {
protected:
    void SetUp() override {
        QObject::connect(&browser, &WebBrowser::DownloadComplete, [this] { ++completions; });
        // Any modal window is a dialog that reached the user: count it and send it away, so a
        // regression fails the test instead of hanging it.
        QObject::connect(&dialogWatch, &QTimer::timeout, [this] {
            if (QWidget* dialog = QApplication::activeModalWidget()) {
                ++dialogsShown;
                dialog->close();
            }
        });
        dialogWatch.start(20);
        browser.view()->resize(640, 480);
        browser.view()->show();
    }

    QWebEnginePage* webPage() { return static_cast<QWebEngineView*>(browser.view())->page(); }

    // Navigates and waits for the load to end.
    bool navigate(const QString& path) {
        const int before = completions;
        browser.Navigate2(path);
        return waitUntil([&] { return completions > before; });
    }

    QString outerHtml() {
        std::optional<QString> html;
        browser.readOuterHtml([&](const QString& text) { html = text; });
        EXPECT_TRUE(waitUntil([&] { return html.has_value(); })) << "markup never came";
        return html.value_or(QStringLiteral("<never came>"));
    }

    QVariant evaluate(const QString& script) {
        std::optional<QVariant> result;
        webPage()->runJavaScript(script, [&](const QVariant& value) { result = value; });
        EXPECT_TRUE(waitUntil([&] { return result.has_value(); })) << "script never answered";
        return result.value_or(QVariant());
    }

    // Puts the caret at the end of an element and types there as the editing commands do.
    bool typeAtEndOf(const QString& id, const QString& text) {
        return evaluate(
                   QStringLiteral("(() => { const r = document.createRange();"
                                  "r.selectNodeContents(document.getElementById('%1'));"
                                  "r.collapse(false);"
                                  "getSelection().removeAllRanges();"
                                  "getSelection().addRange(r);"
                                  "return document.execCommand('insertText', false, '%2'); })()")
                       .arg(id, text))
            .toBool();
    }

    // A real key press into the page, which the engine counts as the user having used it.
    void pressKeyInField() {
        evaluate(QStringLiteral("document.getElementById('field').focus()"));
        QWidget* target =
            browser.view()->focusProxy() ? browser.view()->focusProxy() : browser.view();
        QKeyEvent press(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, QStringLiteral("a"));
        QKeyEvent release(QEvent::KeyRelease, Qt::Key_A, Qt::NoModifier, QStringLiteral("a"));
        QApplication::sendEvent(target, &press);
        QApplication::sendEvent(target, &release);
        ASSERT_TRUE(waitUntil([&] { return webPage()->title() == "touched"; }));
        ASSERT_TRUE(evaluate(QStringLiteral("navigator.userActivation.hasBeenActive")).toBool());
    }

    TempFolder dir;
    WebEngineBrowser browser;
    int completions = 0;
    QTimer dialogWatch;
    int dialogsShown = 0;
};

TEST_F(WebEngineBrowserTest, LoadsLocalPagesAndReadsTheirMarkup) {
    const QString plain = dir.write("index.html", page("<p id=\"greeting\">Hello</p>"));
    ASSERT_TRUE(navigate(plain));
    EXPECT_EQ(browser.currentFile(), plain);
    const QString html = outerHtml();
    EXPECT_TRUE(html.startsWith("<html")) << html.toStdString();
    EXPECT_TRUE(html.contains("<p id=\"greeting\">Hello</p>")) << html.toStdString();

    // Blanks, '#', '?', quotes and letters beyond ASCII are parts of the file name, not of a URL.
    const QString odd =
        dir.write(QString::fromUtf8("my pages/Grüße #1 'x' \"y\" ?.html"), page("<p>Odd</p>"));
    ASSERT_TRUE(navigate(odd));
    EXPECT_EQ(browser.currentFile(), odd);
    EXPECT_TRUE(outerHtml().contains("<p>Odd</p>"));
}

TEST_F(WebEngineBrowserTest, OffersNoMarkupWithoutADocument) {
    EXPECT_EQ(outerHtml(), QString());
    browser.setDesignMode("On");

    // The engine shows an error page of its own; that is no document of ours.
    const QString missing = dir / "missing.html";
    ASSERT_TRUE(navigate(missing));
    EXPECT_EQ(browser.currentFile(), missing);
    EXPECT_EQ(outerHtml(), QString());

    ASSERT_TRUE(navigate(dir.write("there.html", page("<p>There</p>"))));
    EXPECT_TRUE(outerHtml().contains("<p>There</p>"));
}

TEST_F(WebEngineBrowserTest, EditsInDesignModeShowInTheMarkup) {
    ASSERT_TRUE(navigate(dir.write("index.html", page("<p id=\"text\">Hello</p>"))));

    // Outside design mode the page cannot be edited.
    EXPECT_FALSE(typeAtEndOf("text", "Early"));

    browser.setDesignMode("ON");
    EXPECT_EQ(evaluate("document.designMode").toString(), "on");
    EXPECT_TRUE(typeAtEndOf("text", "Edited"));
    EXPECT_TRUE(outerHtml().contains("<p id=\"text\">HelloEdited</p>"));

    browser.setDesignMode("oFF");
    EXPECT_EQ(evaluate("document.designMode").toString(), "off");
    EXPECT_FALSE(typeAtEndOf("text", "Late"));
    EXPECT_TRUE(outerHtml().contains("<p id=\"text\">HelloEdited</p>"));
}

TEST_F(WebEngineBrowserTest, DesignModeAskedForDuringALoadAppliesToTheLoadedPage) {
    const QString first = dir.write("first.html", page("<p>First</p>"));
    browser.Navigate2(first);
    browser.setDesignMode("on");
    ASSERT_TRUE(waitUntil([&] { return completions > 0; }));
    EXPECT_EQ(evaluate("document.designMode").toString(), "on");

    // Each page opens for viewing; the window switches editing on again when it wants it.
    ASSERT_TRUE(navigate(dir.write("second.html", page("<p>Second</p>"))));
    EXPECT_EQ(evaluate("document.designMode").toString(), "off");
}

TEST_F(WebEngineBrowserTest, RepeatedNavigationsEndWithTheLastPage) {
    const QString first = dir.write("first.html", page("<p>First</p>"));
    const QString second = dir.write("second.html", page("<p>Second</p>"));

    // Whatever the engine makes of loads that overlap, every completion reports either nothing
    // or the page last asked for, never one it has since been sent away from.
    QStringList reads;
    QObject::connect(&browser, &WebBrowser::DownloadComplete,
                     [&] { browser.readOuterHtml([&](const QString& html) { reads << html; }); });
    const auto settled = [&] { return !reads.isEmpty() && !reads.last().isEmpty(); };
    browser.Navigate2(first);
    browser.Navigate2(first);
    ASSERT_TRUE(waitUntil(settled));
    EXPECT_TRUE(reads.last().contains("First"));
    EXPECT_EQ(browser.currentFile(), first);

    reads.clear();
    browser.Navigate2(first);
    browser.Navigate2(second);
    ASSERT_TRUE(waitUntil(settled));
    EXPECT_TRUE(reads.last().contains("Second"));
    for (const QString& html : reads)
        EXPECT_FALSE(html.contains("First")) << html.toStdString();
    EXPECT_EQ(browser.currentFile(), second);
}

TEST_F(WebEngineBrowserTest, PageTheDocumentWentToOnItsOwnIsNotOffered) {
    const QString start = dir.write("start.html", page("<a id=\"away\" href=\"other.html\">x</a>"));
    dir.write("other.html", page("<p>Other</p>"));
    ASSERT_TRUE(navigate(start));

    // Following a link ends a load too, but its markup must not pass for the file navigated to.
    const int before = completions;
    evaluate("document.getElementById('away').click()");
    ASSERT_TRUE(waitUntil([&] { return completions > before; }));
    ASSERT_TRUE(webPage()->url().toLocalFile().endsWith("other.html"));
    EXPECT_EQ(browser.currentFile(), start);
    EXPECT_EQ(outerHtml(), QString());
}

TEST_F(WebEngineBrowserTest, SilentBrowserAnswersThePagesQuestionsItself) {
    browser.setSilent(true);
    ASSERT_TRUE(navigate(dir.write("asking.html", kAskingPage)));
    EXPECT_EQ(dialogsShown, 0);
    // Confirm is declined and prompt cancelled.
    EXPECT_TRUE(outerHtml().contains("<div id=\"answers\">false|null</div>"));
}

TEST_F(WebEngineBrowserTest, PageQuestionsReachTheUserUnlessSilent) {
    ASSERT_FALSE(browser.isSilent());
    ASSERT_TRUE(navigate(dir.write("asking.html", kAskingPage)));
    EXPECT_EQ(dialogsShown, 3);
}

TEST_F(WebEngineBrowserTest, SilentBrowserLeavesAPageThatObjects) {
    browser.setSilent(true);
    ASSERT_TRUE(navigate(dir.write("clinging.html", kClingingPage)));
    pressKeyInField();

    const QString next = dir.write("next.html", page("<p>Next</p>"));
    ASSERT_TRUE(navigate(next));
    EXPECT_EQ(dialogsShown, 0);
    EXPECT_EQ(browser.currentFile(), next);
    EXPECT_TRUE(outerHtml().contains("<p>Next</p>"));
}

TEST_F(WebEngineBrowserTest, StayingOnAPageThatObjectsStillEndsTheNavigation) {
    const QString clinging = dir.write("clinging.html", kClingingPage);
    ASSERT_TRUE(navigate(clinging));
    pressKeyInField();

    // The watcher closes the question, which declines leaving.
    ASSERT_TRUE(navigate(dir.write("next.html", page("<p>Next</p>"))));
    EXPECT_EQ(dialogsShown, 1);
    EXPECT_EQ(browser.currentFile(), clinging);
    EXPECT_TRUE(outerHtml().contains("id=\"field\""));
}

} // namespace
