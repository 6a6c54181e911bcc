#include "Form2.h"

#include "AppGlobals.h"
#include "builder/TagCheck.h"
#include "builder/WorkWithProgress.h"
#include "editor/WebBrowser.h"
#include "util/HelperOps.h"
#include "util/PageEncoding.h"
#include "util/Progress.h"
#include "util/services/FolderSelector.h"
#include "util/services/InputBoxService.h"
#include "util/services/MessageBoxService.h"

#include <QComboBox>
#include <QCursor>
#include <QLabel>
#include <QMenu>
#include <QPushButton>

namespace {

struct DesignationTexts {
    QString unset;
    QString confirmation;
};

const DesignationTexts& designationTexts(int index) {
    static const DesignationTexts texts[2] = {
        {QStringLiteral("Unknown. Please Select a Page From the Drop-Down and Set it as Your "
                        "Front-End Page."),
         QStringLiteral("Page Set as Front-End Page.")},
        {QStringLiteral("Unknown. Please Select a Page From the Drop-Down and Set it as Your "
                        "Download Page."),
         QStringLiteral("Page Set as Download Page.")},
    };
    return texts[index == 0 ? 0 : 1];
}

constexpr int kMaxListedFailures = 10;

} // namespace

Form2::Form2(ProgramFolder programFolder, WebBrowser* browser, Form2Services services,
             QWidget* parent)
    : QWidget(parent), WebBrowser1(browser), workspace_(std::move(programFolder)),
      services_(services), editing_(*browser, services.messages),
      products_(ProductStore::DefaultFolder(workspace_.programFolder())) {
    WebBrowser1->setParent(this);
    createControls();
    connectHandlers();
    Form_Load();
}

Form2::~Form2() {
    // The browser goes first, while everything its last answers could reach is still whole.
    editing_.abandon();
    WebBrowser1->disconnect(this);
    delete WebBrowser1;
}

QString Form2::designatedPage(int index) const {
    return lblSelectedPage[index == 0 ? 0 : 1]->text();
}

bool Form2::isDesignated(int index) const {
    return cmdRemove[index == 0 ? 0 : 1]->isEnabled();
}

void Form2::Form_Load() {
    WebBrowser1->setSilent(true);
    Combo1->clear();
    WebBrowser1->Navigate2(workspace_.programFolder().blankPage());
    if (continueLastSession()) {
        // The list may have been filled while the question was open: it is made anew.
        pageList_.forget();
        Combo1->setEnabled(true);
        RefreshPageList();
    } else {
        ResetWorkspace();
        saveSession(); // nothing to go on with next time
    }
    ProductTitle = QStringLiteral("Ostrel!");
    ProductTitle += QStringLiteral(" Pro");
    BylineText = QStringLiteral(" ");
    setWindowTitle(ProductTitle + QStringLiteral(" ") + AppVersion + BylineText);
    lblAppName->setText(ProductTitle);
    lblBy->setText(BylineText);
    const QString failure = workspace_.ensureFolders();
    if (!failure.isEmpty())
        showError(QStringLiteral("Ostrel could not create its output folder.\n%1").arg(failure));
}

void Form2::ResetWorkspace() {
    const QString failure = workspace_.resetWorkFolder();
    if (!failure.isEmpty())
        showError(QStringLiteral("Ostrel could not empty its working folder %1.\n%2\n\nClose the "
                                 "programs that use files in it and try again.")
                      .arg(workspace_.workFolder(), failure));
    Combo1->setEnabled(false);
}

void Form2::RefreshPageList() {
    if (!listMayChange())
        return; // the page being edited keeps its place; the list catches up afterwards
    switch (pageList_.refresh(workspace_.workFolder())) {
    case PageListMonitor::Outcome::NoWorkFolder:
        return;
    case PageListMonitor::Outcome::NoPages:
        Command2->setEnabled(false);
        Combo1->setEnabled(false);
        return;
    case PageListMonitor::Outcome::Unchanged:
        Command2->setEnabled(true);
        return;
    case PageListMonitor::Outcome::Rebuilt:
        break;
    }
    Command2->setEnabled(true);
    Combo1->clear();
    Combo1->addItems(pageList_.pagePaths());
    Combo1->setCurrentIndex(Combo1->count() - 1);
    Combo1_Click();
    cmdRemove_Click(0);
    cmdRemove_Click(1);
}

void Form2::ShowDeliveryReminder() {
    services_.messages.MsgBox(QStringLiteral("Reminder"),
                              QStringLiteral("Please make sure that your folder also contains the "
                                             "delivery file (or files), so it's included inside "
                                             "your plugin."),
                              MsgStyle::Information);
}

void Form2::Command5_Click() {
    mnuPopup->popup(QCursor::pos());
}

void Form2::mnuLoadUsingBrowser_Click() {
    ShowDeliveryReminder();
    loadFolder(services_.folders.SelectFolder(
        this, QStringLiteral("Select a Folder with HTM/HTML Files")));
}

void Form2::mnuLoadUsingLocation_Click() {
    ShowDeliveryReminder();
    const QString typed = services_.input.InputBox(
        QStringLiteral("Please enter the full path (local) of an HTML folder"),
        QStringLiteral("Enter Path"), QString());
    loadFolder(typed.trimmed().isEmpty() ? QString() : Workspace::normaliseTypedPath(typed));
}

void Form2::loadFolder(const QString& folder) {
    if (folder.isEmpty() || refuseSource(folder) || !mayReplaceWorkingCopy())
        return;
    // Copied beside the working copy, which a cancel or a failure leaves as it was.
    Workspace::LoadOutcome loaded;
    RunWithProgress(this, QStringLiteral("Loading the Folder"),
                    {Command5, Command2, Command3, cmdSetasFE, cmdSetasDownloadPage, Combo1},
                    [&](Progress& progress) { loaded = workspace_.load(folder, &progress); });
    if (loaded.copied.cancelled)
        return;
    if (!loaded.failure.isEmpty()) {
        showError(QStringLiteral("Ostrel could not empty its working folder %1, so the folder was "
                                 "not loaded.\n%2\n\nClose the programs that use files in it and "
                                 "try again.")
                      .arg(workspace_.workFolder(), loaded.failure));
        return;
    }
    loadedFolder_ = folder;
    pageList_.forget();
    Combo1->setEnabled(true);
    if (!loaded.copied.ok())
        reportCopyFailures(folder, loaded.copied.failures);
    offerKeptEdits(folder);
}

bool Form2::refuseSource(const QString& folder) {
    switch (workspace_.checkSource(folder)) {
    case Workspace::SourceCheck::Ok:
        return false;
    case Workspace::SourceCheck::NotAFolder:
    case Workspace::SourceCheck::NoPages:
        services_.messages.MsgBox(QStringLiteral("No HTML Files"),
                                  QStringLiteral("We could not find .htm or .html files in this "
                                                 "folder. Please try with another one."),
                                  MsgStyle::Information);
        return true;
    case Workspace::SourceCheck::OverlapsWorkFolder:
        services_.messages.MsgBox(
            QStringLiteral("Choose Another Folder"),
            QStringLiteral("%1 cannot be loaded: it is Ostrel's working folder, lies inside it or "
                           "contains it (%2). Please choose the folder that holds your product's "
                           "pages.")
                .arg(folder, workspace_.workFolder()),
            MsgStyle::Information);
        return true;
    }
    return true;
}

void Form2::reportCopyFailures(const QString& source, const QStringList& failures) {
    QStringList listed = failures.mid(0, kMaxListedFailures);
    if (failures.size() > kMaxListedFailures)
        listed << QStringLiteral("... and %1 more.").arg(failures.size() - kMaxListedFailures);
    services_.messages.MsgBox(QStringLiteral("Some Files Were Not Copied"),
                              QStringLiteral("These items of %1 could not be copied into the "
                                             "working folder and will be missing from the "
                                             "plugin:\n\n%2")
                                  .arg(source, listed.join(QLatin1Char('\n'))),
                              MsgStyle::Information);
}

void Form2::showError(const QString& text) {
    services_.messages.MsgBox(QStringLiteral("Error"), text, MsgStyle::Information);
}

void Form2::cmdSetasFE_Click() {
    setDesignation(0);
}

void Form2::cmdSetasDownloadPage_Click() {
    setDesignation(1);
}

void Form2::setDesignation(int index) {
    const QString page = Combo1->currentText();
    if (page.isEmpty()) {
        services_.messages.MsgBox(QStringLiteral("Missing Info"),
                                  QStringLiteral("Please select a folder with HTML files."),
                                  MsgStyle::Information);
        return;
    }
    lblSelectedPage[index]->setText(page);
    (index == 0 ? cmdSetasFE : cmdSetasDownloadPage)->setEnabled(false);
    cmdRemove[index]->setEnabled(true);
    lblPageSelected->setText(designationTexts(index).confirmation);
    lblPageSelected->setVisible(true);
}

void Form2::cmdRemove_Click(int index) {
    const int i = index == 0 ? 0 : 1;
    (i == 0 ? cmdSetasFE : cmdSetasDownloadPage)->setEnabled(true);
    lblSelectedPage[i]->setText(designationTexts(i).unset);
    cmdRemove[i]->setEnabled(false);
}

void Form2::Combo1_Click() {
    // While a page is being edited the browser keeps it: showing another would lose the edits.
    if (!isEditing())
        WebBrowser1->Navigate2(Combo1->currentText());
}

void Form2::Command3_Click() {
    if (editing_.isBusy())
        return; // the last request still waits for the page's markup
    // The plugin is made from the files as saved: edits on screen are saved first, or not, as
    // the seller chooses.
    editing_.settleEdits([this](bool proceed) {
        if (proceed)
            convertDesignatedPages();
    });
}

void Form2::convertDesignatedPages() {
    if (!isDesignated(0) || !isDesignated(1)) {
        services_.messages.MsgBox(QStringLiteral("Missing Info"),
                                  QStringLiteral("Please select your Front-End page and your "
                                                 "Download page."),
                                  MsgStyle::Information);
        return;
    }
    QString front, download;
    if (!readDesignatedPage(0, front) || !readDesignatedPage(1, download))
        return;
    const QString missing = MissingTags(front, download);
    if (!missing.isEmpty() &&
        services_.messages.MsgBox(QStringLiteral("Missing Info"), MissingTagsWarning(missing),
                                  MsgStyle::YesNoInformation | MsgStyle::DefaultButton2) !=
            MsgResult::Yes)
        return;
    // The product is remembered by the folder it was loaded from; dropped pages have none.
    const bool fromFolder = isInWorkFolder(designatedPage(0)) && isInWorkFolder(designatedPage(1));
    if (services_.openConvertWindow)
        services_.openConvertWindow(designatedPage(0), designatedPage(1),
                                    fromFolder ? loadedFolder_ : QString());
}

bool Form2::readDesignatedPage(int index, QString& text) {
    try {
        text = LoadPageFromFile(designatedPage(index));
        return true;
    } catch (const FileError& error) {
        services_.messages.MsgBox(
            QStringLiteral("Missing Info"),
            QStringLiteral("Your %1 page cannot be read, so the plugin cannot be made from it.\n%2")
                .arg(index == 0 ? QStringLiteral("front-end") : QStringLiteral("download"),
                     error.description()),
            MsgStyle::Information);
        return false;
    }
}

void Form2::tmrHTMLSourceMonitor_Timer() {
    RefreshPageList();
}

void Form2::tmrRemoveMsgs_Timer() {
    lblPageSelected->setVisible(false);
}
