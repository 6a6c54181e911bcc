#pragma once

#include "PageListMonitor.h"
#include "Workspace.h"
#include "util/ProgramFolder.h"

#include <QWidget>
#include <array>
#include <functional>

class FolderSelector;
class InputBoxService;
class MessageBoxService;
class QComboBox;
class QFrame;
class QGroupBox;
class QLabel;
class QMenu;
class QAction;
class QPushButton;
class QResizeEvent;
class QTimer;
class WebBrowser;

// The dialogs the main window uses, supplied by whoever creates it.
struct Form2Services {
    MessageBoxService& messages;
    InputBoxService& input;
    FolderSelector& folders;
    // Shows the plugin details window for the two designated pages, modally.
    std::function<void(const QString& frontPage, const QString& downloadPage)> openConvertWindow;
};

// The main window: loads a folder of pages into the working folder, keeps the page list
// current, and holds the front-end and download page designations.
class Form2 : public QWidget {
    Q_OBJECT
public:
    // Takes ownership of the browser.
    Form2(ProgramFolder programFolder, WebBrowser* browser, Form2Services services,
          QWidget* parent = nullptr);
    ~Form2() override;

    const Workspace& workspace() const { return workspace_; }
    WebBrowser& browser() const { return *WebBrowser1; }

    // The designated page of index 0 (front-end) or 1 (download), as its label shows it.
    QString designatedPage(int index) const;
    bool isDesignated(int index) const;

    // Handlers, one per event of the window's controls.
    void Form_Load();
    void ResetWorkspace();
    void RefreshPageList();
    void ShowDeliveryReminder();
    void Command5_Click();
    void mnuLoadUsingBrowser_Click();
    void mnuLoadUsingLocation_Click();
    void cmdSetasFE_Click();
    void cmdSetasDownloadPage_Click();
    void cmdRemove_Click(int index);
    void Combo1_Click();
    void Command3_Click();
    void tmrHTMLSourceMonitor_Timer();
    void tmrRemoveMsgs_Timer();

    // Controls, under the names the handlers use.
    QFrame* Picture2 = nullptr;
    QLabel* lblAppName = nullptr;
    QLabel* lblBy = nullptr;
    QLabel* lblPageSelected = nullptr;
    QComboBox* Combo1 = nullptr;
    QPushButton* Command5 = nullptr;
    QPushButton* cmdSetasFE = nullptr;
    QPushButton* cmdSetasDownloadPage = nullptr;
    QPushButton* Command2 = nullptr;
    QPushButton* Command1 = nullptr;
    QPushButton* lblHelp = nullptr; // drawn as a link
    QGroupBox* frSelected = nullptr;
    QLabel* Label4 = nullptr;
    QLabel* Label5 = nullptr;
    std::array<QLabel*, 2> lblSelectedPage{};
    std::array<QPushButton*, 2> cmdRemove{};
    QLabel* Label9 = nullptr;
    QLabel* Label7 = nullptr;
    QPushButton* Command3 = nullptr;
    QGroupBox* frShortcuts = nullptr;
    QLabel* Label2 = nullptr;
    QMenu* mnuPopup = nullptr;
    QAction* mnuLoadUsingBrowser = nullptr;
    QAction* mnuLoadUsingLocation = nullptr;
    QTimer* tmrHTMLSourceMonitor = nullptr;
    QTimer* tmrRemoveMsgs = nullptr;
    WebBrowser* WebBrowser1 = nullptr;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void createControls();
    void connectHandlers();
    void setDesignation(int index);
    void loadFolder(const QString& folder);
    bool refuseSource(const QString& folder);
    void reportCopyFailures(const QString& source, const QStringList& failures);
    void showError(const QString& text);
    bool readDesignatedPage(int index, QString& text);

    Workspace workspace_;
    Form2Services services_;
    PageListMonitor pageList_;
};
