#pragma once

#include "app/Form2.h"
#include "fakes/FakeServices.h"
#include "fakes/FakeWebBrowser.h"
#include "support/TempFolder.h"

#include <QComboBox>
#include <QTimer>
#include <gtest/gtest.h>
#include <memory>

// A main window on a program folder of its own, with fake dialogs and browser. Its timers are
// stopped: tests run the ticks themselves. It is fitted to a screen that holds its design,
// unless a test asks for the screen it runs on.
class Form2Fixture : public ::testing::Test {
protected:
    enum class Screen { HoldingTheDesign, Real };

    void start(Screen screen = Screen::HoldingTheDesign) {
        QDir().mkpath(program.path());
        browser = new FakeWebBrowser;
        auto openConvertWindow = [this](const QString& front, const QString& download,
                                        const QString& /*sourceFolder*/) {
            convertWindowOpenedFor << front + QStringLiteral(" | ") + download;
        };
        auto openQuickHelp = [this] { ++quickHelpOpened; };
        form = std::make_unique<Form2>(
            program, browser,
            Form2Services{messages, input, folders, openConvertWindow, openQuickHelp});
        form->tmrHTMLSourceMonitor->stop();
        form->tmrRemoveMsgs->stop();
        if (screen == Screen::HoldingTheDesign)
            form->setScreenArea(QRect(0, 0, 1920, 1040));
    }

    // A product folder with three pages and a picture folder.
    QString makeSite(const QString& name) {
        root.write(name + QStringLiteral("/a.htm"), "<html>a</html>");
        root.write(name + QStringLiteral("/b.html"), "<html>b #FRONT#</html>");
        root.write(name + QStringLiteral("/c.htm"), "<html>c #BACK#</html>");
        root.write(name + QStringLiteral("/images/logo.png"), "png");
        return root / name;
    }

    void loadTyped(const QString& path) {
        input.answers.push_back(path);
        form->mnuLoadUsingLocation_Click();
        form->tmrHTMLSourceMonitor_Timer();
    }

    QStringList entries() const {
        QStringList out;
        for (int i = 0; i < form->Combo1->count(); ++i)
            out << form->Combo1->itemText(i);
        return out;
    }

    QString work(const QString& name) const { return program.workFolder() + '/' + name; }

    TempFolder root;
    ProgramFolder program{root / QStringLiteral("program")};
    FakeMessageBox messages;
    FakeInputBox input;
    FakeFolderSelector folders;
    FakeWebBrowser* browser = nullptr;
    QStringList convertWindowOpenedFor;
    int quickHelpOpened = 0;
    std::unique_ptr<Form2> form;
};
