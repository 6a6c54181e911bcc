#include "Form2Fixture.h"
#include "app/Form2Layout.h"
#include "builder/frmConvert.h"
#include "editor/frmQuickHelp.h"
#include "fakes/FakeLauncher.h"
#include "util/ProgramFont.h"
#include "util/ScreenFit.h"

#include <QApplication>
#include <QFontInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>

namespace {

// The windows on the screen the test runs on; ctest runs this again on screens of common sizes.
class OnThisScreen : public Form2Fixture {};

TEST_F(OnThisScreen, WindowsFitTheAvailableAreaAndTheMainWindowItsControls) {
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    start(Screen::Real);
    form->move(ScreenFit::centred(form->size(), form->screenArea()));
    root.write(QStringLiteral("program/tmp/index.html"), "#FRONT# #BACK#");
    FakeLauncher launcher;
    frmConvert convert(program, work(QStringLiteral("index.html")),
                       work(QStringLiteral("index.html")), messages, launcher);
    frmQuickHelp help(program.saveMarker());
    for (QWidget* window : {static_cast<QWidget*>(form.get()), static_cast<QWidget*>(&convert),
                            static_cast<QWidget*>(&help)}) {
        window->show();
        QCoreApplication::processEvents();
        EXPECT_TRUE(area.contains(window->frameGeometry())) << window->objectName().toStdString();
    }
    // Quick Help's view ends between texts, never through a line.
    const QWidget* texts = help.scroller->widget();
    const int viewEnd = help.scroller->viewport()->height();
    for (const QWidget* text : texts->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        const QRect place = text->geometry().translated(texts->pos());
        EXPECT_FALSE(text->isVisible() && place.top() < viewEnd && place.bottom() >= viewEnd)
            << text->objectName().toStdString() << " is cut by the end of the view";
    }

    const TwipsScale scale;
    if (form->width() == scale.toPixels(Form2Layout::kDesignWidth)) { // the design decides
        EXPECT_EQ(form->Command3->geometry(), scale.toPixels(QRectF(12465, 7650, 7485, 1455)));
    }
    for (QSize size : {form->size(), form->minimumSize()}) {
        form->resize(size);
        QCoreApplication::processEvents();
        for (QWidget* control :
             std::initializer_list<QWidget*>{form->lblHelp, form->Command3, form->frShortcuts})
            EXPECT_TRUE(form->rect().contains(control->geometry()))
                << control->accessibleName().toStdString() << " at " << size.width() << 'x'
                << size.height();
        EXPECT_FALSE(form->lblHelp->geometry().intersects(form->Command2->geometry()));
    }
}

// One family and size in every window, dialog and menu; only emphasis differs.
using OneFont = Form2Fixture;

TEST_F(OneFont, RunsThroughTheWindowsDialogsAndMenus) {
    start(); // the test main sets the program's font, as the program does
    FakeLauncher launcher;
    frmConvert convert(program, QString(), QString(), messages, launcher);
    frmQuickHelp help(program.saveMarker());
    QMessageBox box(QMessageBox::Information, QStringLiteral("Reminder"), QStringLiteral("Text"));
    for (QWidget* text : std::initializer_list<QWidget*>{
             form->Label7, form->Combo1, form->cmdSetasFE, form->mnuPopup, convert.txtPlugin_Name,
             convert.txtPlugin_Name->parentWidget(), help.Label1,
             box.findChild<QWidget*>(QStringLiteral("qt_msgbox_label"))}) {
        text->ensurePolished();
        EXPECT_EQ(QFontInfo(text->font()).family(), QFontInfo(programFont()).family())
            << text->metaObject()->className();
        EXPECT_DOUBLE_EQ(text->font().pointSizeF(), programFont().pointSizeF())
            << text->metaObject()->className();
    }
}

} // namespace
