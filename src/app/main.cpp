#include "Form2.h"
#include "editor/WebEngineBrowser.h"
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
    Form2 window(ProgramFolder::ofRunningProgram(), new WebEngineBrowser,
                 {messages, input, folders});

    const QRect screen = window.screen()->availableGeometry();
    window.move(screen.center() - window.rect().center());
    window.show();
    return app.exec();
}
