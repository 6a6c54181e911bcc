#include "Form2.h"
#include "builder/frmConvert.h"
#include "builder/services/QtLauncher.h"
#include "editor/WebEngineBrowser.h"
#include "editor/frmQuickHelp.h"
#include "services/QtDialogs.h"

#include <QApplication>
#include <QScreen>

int main(int argc, char** argv) {
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts); // required by the web view
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Ostrel"));

    QtMessageBox messages;
    QtInputBox input;
    QtFolderSelector folders;
    QtLauncher launcher;
    const ProgramFolder program = ProgramFolder::ofRunningProgram();
    auto openConvertWindow = [&](const QString& frontPage, const QString& downloadPage) {
        frmConvert convert(program, frontPage, downloadPage, messages, launcher);
        convert.exec();
    };
    auto openQuickHelp = [&] {
        frmQuickHelp help(program.saveMarker());
        help.exec();
    };
    Form2 window(program, new WebEngineBrowser,
                 {messages, input, folders, openConvertWindow, openQuickHelp});

    const QRect screen = window.screen()->availableGeometry();
    window.move(screen.center() - window.rect().center());
    window.show();
    return app.exec();
}
