#include "Form2Fixture.h"

#include <QApplication>
#include <QDropEvent>
#include <QFileInfo>
#include <QLabel>
#include <QMimeData>
#include <QUrl>

namespace {

class Form2Drop : public Form2Fixture {
protected:
    void SetUp() override {
        start();
        loadTyped(makeSite(QStringLiteral("site")));
        form->cmdSetasFE_Click();
        page = root.write(QStringLiteral("elsewhere/x.htm"), "x");
        pdf = root.write(QStringLiteral("elsewhere/y.pdf"), "y");
        browser->navigations.clear();
    }

    // Delivers a real drop event, as the desktop's file browser would.
    bool drop(QWidget* target, QMimeData* data) {
        QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &enter);
        if (!enter.isAccepted())
            return false;
        QDropEvent dropEvent(QPointF(5, 5), Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &dropEvent);
        return dropEvent.isAccepted();
    }

    QMimeData* files() {
        auto* data = new QMimeData;
        data->setUrls({QUrl::fromLocalFile(page), QUrl::fromLocalFile(pdf)});
        return data;
    }

    QString page, pdf;
};

TEST_F(Form2Drop, DroppedOnTheWindowTheFilesAreListedAndTheLastIsShown) {
    std::unique_ptr<QMimeData> data(files());
    EXPECT_TRUE(drop(form.get(), data.get()));
    EXPECT_EQ(entries(), (QStringList{page, pdf}));
    EXPECT_EQ(form->Combo1->currentText(), pdf);
    EXPECT_EQ(browser->navigations, QStringList{pdf});
    EXPECT_FALSE(QFileInfo::exists(work("x.htm"))); // nothing is copied
    EXPECT_EQ(form->designatedPage(0), work("c.htm"));

    form->cmdRemove_Click(0);
    form->cmdSetasFE_Click();
    EXPECT_EQ(form->designatedPage(0), pdf);
    form->tmrHTMLSourceMonitor_Timer(); // the working folder has not changed
    EXPECT_EQ(entries(), (QStringList{page, pdf}));
}

TEST_F(Form2Drop, DroppedOnThePageListNothingIsSelected) {
    std::unique_ptr<QMimeData> data(files());
    EXPECT_TRUE(drop(form->Combo1, data.get()));
    EXPECT_EQ(entries(), (QStringList{page, pdf}));
    EXPECT_TRUE(form->Combo1->currentText().isEmpty());
    EXPECT_TRUE(browser->navigations.isEmpty());
}

TEST_F(Form2Drop, DropsWithoutAFileListAreIgnored) {
    QMimeData text;
    text.setText(QStringLiteral("just some text"));
    EXPECT_FALSE(drop(form.get(), &text));
    EXPECT_FALSE(drop(form->Combo1, &text));
    EXPECT_EQ(entries().size(), 3);
    EXPECT_EQ(form->Combo1->currentText(), work("c.htm"));
}

TEST_F(Form2Drop, AFolderLoadAfterADropReplacesTheDroppedEntries) {
    form->Form_OLEDragDrop({page, pdf});
    loadTyped(makeSite(QStringLiteral("other")));
    EXPECT_EQ(entries(), (QStringList{work("a.htm"), work("b.html"), work("c.htm")}));
}

} // namespace
