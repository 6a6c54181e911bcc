#include "editor/WebEngineBrowser.h"
#include "editor/EditSession.h"
#include "fakes/FakeServices.h"
#include "support/TempFolder.h"

#include <QApplication>
#include <QEventLoop>
#include <QKeyEvent>
#include <QLineEdit>
#include <QTimer>
#include <QVBoxLayout>
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

    WebBrowser::PageMarkup pageMarkup() {
        std::optional<WebBrowser::PageMarkup> markup;
        browser.readPageMarkup([&](const WebBrowser::PageMarkup& read) { markup = read; });
        EXPECT_TRUE(waitUntil([&] { return markup.has_value(); })) << "markup never came";
        return markup.value_or(WebBrowser::PageMarkup{"<never came>", "<never came>", {}, {}});
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

    // Selects characters from..to of an element's first text; equal ends put the caret there.
    void select(const QString& id, int from, int to) {
        evaluate(QStringLiteral("(() => { const r = document.createRange();"
                                "const t = document.getElementById('%1').firstChild;"
                                "r.setStart(t, %2); r.setEnd(t, %3);"
                                "getSelection().removeAllRanges();"
                                "getSelection().addRange(r); })()")
                     .arg(id)
                     .arg(from)
                     .arg(to));
    }

    QString textOf(const QString& id) {
        return evaluate(QStringLiteral("document.getElementById('%1').textContent").arg(id))
            .toString();
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

TEST_F(WebEngineBrowserTest, PageMarkupComesWithTheDoctypeOfOurDocumentOnly) {
    const WebBrowser::PageMarkup none = pageMarkup();
    EXPECT_EQ(none.doctype, QString());
    EXPECT_EQ(none.outerHtml, QString());

    ASSERT_TRUE(navigate(dir / "missing.html"));
    EXPECT_EQ(pageMarkup().outerHtml, QString());

    ASSERT_TRUE(navigate(dir.write("index.html", page("<p id=\"greeting\">Hello</p>"))));
    WebBrowser::PageMarkup markup = pageMarkup();
    EXPECT_EQ(markup.doctype, "<!DOCTYPE html>");
    EXPECT_TRUE(markup.outerHtml.startsWith("<html")) << markup.outerHtml.toStdString();
    EXPECT_TRUE(markup.outerHtml.contains("<p id=\"greeting\">Hello</p>"));

    ASSERT_TRUE(navigate(dir.write("bare.html", "<html><body><p>Bare</p></body></html>")));
    markup = pageMarkup();
    EXPECT_EQ(markup.doctype, QString());
    EXPECT_TRUE(markup.outerHtml.contains("<p>Bare</p>"));
}

// Saving writes the doctype and the markup read back; the saved page must render in the mode the
// original did, or its layout shifts the first time it is edited.
TEST_F(WebEngineBrowserTest, SavedDoctypesKeepTheRenderingMode) {
    const struct {
        const char* name;
        QByteArray doctype;
    } cases[] = {
        {"standards", "<!DOCTYPE html>"},
        {"xhtml transitional", "<!DOCTYPE html PUBLIC \"-//W3C//DTD XHTML 1.0 Transitional//EN\" "
                               "\"http://www.w3.org/TR/xhtml1/DTD/xhtml1-transitional.dtd\">"},
        // Only the system id keeps this one out of quirks mode.
        {"html 4 transitional with system id",
         "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01 Transitional//EN\"\n"
         "  \"http://www.w3.org/TR/html4/loose.dtd\">"},
        {"html 4 transitional without system id",
         "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01 Transitional//EN\">"},
        // A system id alone that still means quirks.
        {"system id only",
         "<!DOCTYPE html SYSTEM \"http://www.ibm.com/data/dtd/v11/ibmxhtml1-transitional.dtd\">"},
        {"none", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QString file =
            dir.write("page.html", c.doctype + "<html><head><meta charset=\"utf-8\">"
                                               "</head><body><p>Text</p></body></html>");
        ASSERT_TRUE(navigate(file));
        const QString mode = evaluate("document.compatMode").toString();
        const WebBrowser::PageMarkup markup = pageMarkup();
        EXPECT_EQ(markup.doctype.isEmpty(), c.doctype.isEmpty()) << markup.doctype.toStdString();

        const QString saved =
            dir.write("saved.html", (markup.doctype + "\n" + markup.outerHtml).toUtf8());
        ASSERT_TRUE(navigate(saved));
        EXPECT_EQ(evaluate("document.compatMode").toString(), mode);
        // Saving again changes nothing.
        EXPECT_EQ(pageMarkup().doctype, markup.doctype);
    }
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

TEST_F(WebEngineBrowserTest, InsertedTextGoesToTheCaret) {
    ASSERT_TRUE(navigate(
        dir.write("index.html", page("<p id=\"first\">Alpha</p><p id=\"second\">Beta</p>"))));
    browser.setDesignMode("on");

    select("first", 2, 2);
    browser.insertTextAtCaret("X");
    EXPECT_EQ(textOf("first"), "AlXpha");
    EXPECT_EQ(textOf("second"), "Beta");

    // Typing goes on where the text went in.
    browser.insertTextAtCaret("Y");
    EXPECT_EQ(textOf("first"), "AlXYpha");

    // A selection is typed over.
    select("second", 1, 3);
    browser.insertTextAtCaret("ol");
    EXPECT_EQ(textOf("second"), "Bola");
    EXPECT_TRUE(outerHtml().contains("<p id=\"first\">AlXYpha</p><p id=\"second\">Bola</p>"));
}

TEST_F(WebEngineBrowserTest, InsertedTextArrivesAsWrittenWhateverItHolds) {
    ASSERT_TRUE(navigate(dir.write("index.html", page("<p id=\"text\">[]</p>"))));
    browser.setDesignMode("on");

    const QString tricky = QString::fromUtf8(
        "'\" \\' \\n \\\" `${document.title}` </script><b id=\"bold\">x</b> "
        "&amp; Grüße € \xF0\x9F\x98\x80 \xE2\x80\xA8 ');document.body.remove();//");
    select("text", 1, 1);
    browser.insertTextAtCaret(tricky);
    EXPECT_EQ(textOf("text"), "[" + tricky + "]");
    // Text, never markup.
    EXPECT_FALSE(evaluate("document.getElementById('bold') !== null").toBool());

    // A line break in the text breaks the line, as the Enter key would.
    ASSERT_TRUE(navigate(dir.write("lines.html", page("<div id=\"text\">[]</div>"))));
    browser.setDesignMode("on");
    select("text", 1, 1);
    browser.insertTextAtCaret("one\ntwo");
    EXPECT_EQ(evaluate("document.body.innerText").toString().trimmed(), "[one\ntwo]");
}

TEST_F(WebEngineBrowserTest, InsertedTextWithoutACaretGoesToTheEndOfTheBody) {
    ASSERT_TRUE(navigate(
        dir.write("index.html", page("<p id=\"first\">First</p><p id=\"last\">Last</p>"))));
    browser.setDesignMode("on");
    ASSERT_EQ(evaluate("getSelection().rangeCount").toInt(), 0);

    browser.insertTextAtCaret("End");
    EXPECT_EQ(textOf("first"), "First");
    EXPECT_TRUE(evaluate("document.body.textContent").toString().endsWith("LastEnd"));
}

TEST_F(WebEngineBrowserTest, NothingIsInsertedOutsideDesignMode) {
    // Without a document of ours, nothing happens at all.
    browser.insertTextAtCaret("Nowhere");
    ASSERT_TRUE(navigate(dir / "missing.html"));
    browser.setDesignMode("on");
    browser.insertTextAtCaret("Nowhere");

    // An editable element of the page would take the text, were design mode not asked about.
    ASSERT_TRUE(navigate(dir.write(
        "index.html", page("<p id=\"text\">Hello</p><div id=\"box\" contenteditable>Box</div>"))));
    select("box", 3, 3);
    browser.insertTextAtCaret("Typed");
    EXPECT_EQ(textOf("box"), "Box");

    browser.setDesignMode("on");
    browser.setDesignMode("off");
    select("text", 5, 5);
    browser.insertTextAtCaret("Typed");
    EXPECT_EQ(textOf("text"), "Hello");
    EXPECT_FALSE(outerHtml().contains("Typed"));
}

TEST_F(WebEngineBrowserTest, InsertingTextGivesTheKeyboardBackToThePage) {
    QWidget window;
    auto* layout = new QVBoxLayout(&window);
    auto* button = new QLineEdit;
    layout->addWidget(button);
    layout->addWidget(browser.view());
    window.show();
    window.activateWindow();
    ASSERT_TRUE(waitUntil([&] { return window.isActiveWindow(); }));

    ASSERT_TRUE(navigate(dir.write("index.html", page("<p id=\"text\">Hello</p>"))));
    browser.setDesignMode("on");
    select("text", 5, 5);
    button->setFocus();
    ASSERT_TRUE(waitUntil([&] { return !evaluate("document.hasFocus()").toBool(); }));

    browser.insertTextAtCaret("!");
    EXPECT_TRUE(waitUntil([&] { return evaluate("document.hasFocus()").toBool(); }));
    EXPECT_FALSE(button->hasFocus());
    // The caret stays behind the text, where the user types on.
    EXPECT_EQ(evaluate("getSelection().isCollapsed && getSelection().anchorOffset").toInt(), 6);
    EXPECT_EQ(textOf("text"), "Hello!");
}

TEST_F(WebEngineBrowserTest, NavigatingToTheSameFileShowsItsNewContent) {
    const QString file = dir.write("index.html", page("<p>Old</p>"));
    ASSERT_TRUE(navigate(file));
    ASSERT_TRUE(outerHtml().contains("<p>Old</p>"));

    // Rewritten at once, as saving or converting does, and possibly within the same second.
    for (const QByteArray& text : {QByteArray("New"), QByteArray("Newer")}) {
        dir.write("index.html", page("<p>" + text + "</p>"));
        ASSERT_TRUE(navigate(file));
        EXPECT_TRUE(outerHtml().contains("<p>" + text + "</p>")) << text.toStdString();
    }
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

namespace {

TEST_F(WebEngineBrowserTest, EditedPagesKeepTheEncodingTheyWereReadWith) {
    // Saved and shown again, the page reads as it did: its bytes stay in its own encoding and
    // what that encoding cannot hold goes in as a character reference.
    struct Case {
        const char* name;
        QByteArray declaration;
        QByteArray text; // "Café crème, déjà vu" in the page's encoding
    };
    const QList<Case> cases{
        {"declared Latin-1", "<meta charset=\"iso-8859-1\">", "Caf\xE9 cr\xE8me, d\xE9j\xE0 vu"},
        {"http-equiv windows-1252",
         "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=windows-1252\">",
         "Caf\xE9 cr\xE8me, d\xE9j\xE0 vu"},
        {"UTF-8", "<meta charset=\"utf-8\">", "Caf\xC3\xA9 cr\xC3\xA8me, d\xC3\xA9j\xC3\xA0 vu"},
    };
    const QString shown = QStringLiteral("Caf\u00e9 cr\u00e8me, d\u00e9j\u00e0 vu \u0151");
    FakeMessageBox messages;
    EditSession session(browser, messages);
    QObject::connect(&browser, &WebBrowser::DownloadComplete, &session,
                     [&] { session.onLoadComplete(); });
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString file =
            dir.write(QStringLiteral("page.html"), "<!DOCTYPE html><html><head>" + c.declaration +
                                                       "</head><body><p id=\"t\">" + c.text +
                                                       "</p></body></html>");
        const int before = completions;
        session.begin(file);
        ASSERT_TRUE(waitUntil([&] { return completions > before; }));
        ASSERT_TRUE(waitUntil([&] { return evaluate("document.designMode").toString() == "on"; }));
        ASSERT_TRUE(typeAtEndOf(QStringLiteral("t"), QStringLiteral(" \u0151")));
        const int beforeLeaving = completions;
        session.leave(false);
        ASSERT_TRUE(waitUntil([&] { return !session.isEditing(); }));
        // Leaving shows the page as saved.
        ASSERT_TRUE(waitUntil([&] { return completions > beforeLeaving; }));
        const QByteArray saved = readBytes(file);
        EXPECT_TRUE(saved.contains(c.declaration)) << saved.toStdString();
        const QByteArray ending = c.text.startsWith("Caf\xC3") ? " \xC5\x91" : " &#337;";
        EXPECT_TRUE(saved.contains(c.text + ending)) << saved.toStdString();
        EXPECT_EQ(textOf(QStringLiteral("t")), shown);
    }
}

TEST_F(WebEngineBrowserTest, ASaveNeverTakesTheDocumentAPageWentToByItself) {
    const QString start = dir.write(QStringLiteral("start.html"),
                                    page("<p>Start</p><script>setTimeout(() => "
                                         "location.href = 'other.html', 300)</script>"));
    const QString other = dir.write(QStringLiteral("other.html"), page("<p>Other</p>"));
    const QByteArray startBytes = readBytes(start);
    FakeMessageBox messages;
    EditSession session(browser, messages);
    const int before = completions;
    session.begin(start);
    ASSERT_TRUE(waitUntil([&] { return completions > before; }));
    ASSERT_TRUE(waitUntil([&] { return webPage()->url().toLocalFile() == other; }));

    messages.answers = {MsgResult::Yes};
    session.leave(true);
    ASSERT_TRUE(waitUntil([&] { return !session.isBusy(); }));
    EXPECT_EQ(messages.titles(),
              (QStringList{QStringLiteral("Save"), QStringLiteral("Not Saved")}));
    EXPECT_TRUE(session.isEditing());
    EXPECT_EQ(readBytes(start), startBytes);
    EXPECT_EQ(readBytes(other), page("<p>Other</p>"));
}

} // namespace
