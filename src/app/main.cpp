#include "Form2.h"
#include "builder/ProductStore.h"
#include "builder/frmConvert.h"
#include "builder/services/QtLauncher.h"
#include "editor/WebEngineBrowser.h"
#include "editor/frmQuickHelp.h"
#include "services/QtDialogs.h"
#include "util/ProgramFont.h"
#include "util/ScreenFit.h"

#include <QApplication>

int main(int argc, char** argv) {
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts); // required by the web view
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Ostrel"));
    // Lets the desktop match the window to the installed entry and its icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("io.github.ostrel.Ostrel"));
    // Before any window, so menus and message boxes share it too.
    QApplication::setFont(programFont());

    QtMessageBox messages;
    QtInputBox input;
    QtFolderSelector folders;
    QtLauncher launcher;
    const ProgramFolder program = ProgramFolder::ofRunningProgram();
    QWidget* mainWindow = nullptr; // the dialogs open over it, on its screen
    ProductStore products(ProductStore::DefaultFolder(program));
    auto openConvertWindow = [&](const QString& frontPage, const QString& downloadPage,
                                 const QString& sourceFolder) {
        frmConvert convert(program, frontPage, downloadPage, messages, launcher, mainWindow);
        if (!sourceFolder.isEmpty())
            convert.rememberProduct(products, sourceFolder);
        convert.exec();
    };
    auto openQuickHelp = [&] {
        frmQuickHelp help(program.saveMarker(), mainWindow);
        help.exec();
    };
    Form2 window(program, new WebEngineBrowser,
                 {messages, input, folders, openConvertWindow, openQuickHelp});
    mainWindow = &window;

    window.move(ScreenFit::centred(window.size(), window.screenArea()));
    window.show();
    return app.exec();
}
