#pragma once

#include "Form2Layout.h"
#include "KeptEdits.h"
#include "PageListMonitor.h"
#include "Twips.h"
#include "Workspace.h"
#include "builder/ProductStore.h"
#include "editor/EditSession.h"
#include "editor/WebBrowser.h"
#include "util/ProgramFolder.h"

#include <QWidget>
#include <array>
#include <functional>
#include <optional>

class FolderSelector;
class InputBoxService;
class MessageBoxService;
class QAction;
class QComboBox;
class QFrame;
class QGroupBox;
class QLabel;
class QMenu;
class QMimeData;
class QPushButton;
class QTimer;

// The dialogs and windows the main window uses, supplied by whoever creates it.
struct Form2Services {
    MessageBoxService& messages;
    InputBoxService& input;
    FolderSelector& folders;
    // Shows the plugin details window for the two designated pages, modally; sourceFolder is the
    // seller's folder they were loaded from, or empty for pages dropped one by one.
    std::function<void(const QString& frontPage, const QString& downloadPage,
                       const QString& sourceFolder)>
        openConvertWindow;
    // Shows the quick help, modally.
    std::function<void()> openQuickHelp;
};

// The main window: loads a folder of pages into the working folder, keeps the page list
// current, holds the front-end and download page designations, and lets the user edit the
// designated pages in place.
class Form2 : public QWidget {
    Q_OBJECT
public:
    // Takes ownership of the browser.
    Form2(ProgramFolder programFolder, WebBrowser* browser, Form2Services services,
          QWidget* parent = nullptr);
    ~Form2() override;

    const Workspace& workspace() const { return workspace_; }

    // The designated page of index 0 (front-end) or 1 (download), as its label shows it.
    QString designatedPage(int index) const;
    bool isDesignated(int index) const;
    bool isEditing() const;
    bool isSaving() const { return editing_.isBusy(); }

    // The area the window fits on: its screen's available area unless another was set.
    QRect screenArea() const;
    // Fits the window to another area, sized as it opens there.
    void setScreenArea(const QRect& area);

    // Replaces a text in the page as the browser now holds it and stores the page: the page being
    // edited, else the one the browser shows.
    void SavePage(const QString& sTextToFind, const QString& sTextToReplace, bool blnRefreshPage);

    // Handlers, one per event of the window's controls.
    void Form_Load();
    void Form_Activate();
    void Form_Resize();
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
    void Command2_Click();
    void Command3_Click();
    void cmdInsertFront_Click();
    void cmdInsertBack_Click();
    void lblHelp_Click();
    void WebBrowser1_DownloadComplete();
    void Form_OLEDragDrop(const QStringList& files);
    void Combo1_OLEDragDrop(const QStringList& files);
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
    QPushButton* cmdInsertFront = nullptr;
    QPushButton* cmdInsertBack = nullptr;
    QMenu* mnuPopup = nullptr;
    QAction* mnuLoadUsingBrowser = nullptr;
    QAction* mnuLoadUsingLocation = nullptr;
    QTimer* tmrHTMLSourceMonitor = nullptr;
    QTimer* tmrRemoveMsgs = nullptr;
    WebBrowser* WebBrowser1 = nullptr;

protected:
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    // With unsaved edits the user chooses: store them, give them up, or keep the window open.
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void createControls();
    void connectHandlers();
    void place(QWidget* widget, const QRectF& twips);
    void fitToScreen();
    void setDesignation(int index);
    void loadFolder(const QString& folder);
    bool refuseSource(const QString& folder);
    void reportCopyFailures(const QString& source, const QStringList& failures);
    void showError(const QString& text);
    bool readDesignatedPage(int index, QString& text);
    // Checks the designated pages and their tags, then opens the details window.
    void convertDesignatedPages();
    void setEditControls(bool editing);
    bool isInWorkFolder(const QString& page) const;
    bool listMayChange() const { return !editing_.isEditing() && !editing_.isBusy(); }

    // Changed pages outliving the session (Form2Products.cpp).
    QString sessionFile() const;
    // At start: offers to go on with the pages changed last time; true when the seller does.
    bool continueLastSession();
    // A page was saved: kept with its product, and remembered for the next start.
    void keepEditedPage(const QString& file);
    // Before loading over the working copy: asks when changes there are kept nowhere else.
    bool mayReplaceWorkingCopy();
    // After loading a folder: offers the pages changed in it before.
    void offerKeptEdits(const QString& folder);
    void saveSession();

    Workspace workspace_;
    Form2Services services_;
    PageListMonitor pageList_;
    TwipsScale scale_;
    Form2Layout layout_;
    std::optional<QRect> screenArea_;
    EditSession editing_;
    QString loadedFolder_; // the seller's folder the working copy came from
    ProductStore products_;
    LastSession session_;
    QStringList unkept_; // changed pages kept in the working copy only
    bool closeApproved_ = false;
};

// The local files a drag carries; empty when it carries no file list.
QStringList droppedFiles(const QMimeData* data);
