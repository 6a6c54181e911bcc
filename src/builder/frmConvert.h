#pragma once

#include "BuildRequest.h"
#include "util/ProgramFolder.h"

#include <QDialog>

class Launcher;
class ProductStore;
class MessageBoxService;
class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;

// The plugin details window: the identifier and the plugin header's texts, and the build.
class frmConvert : public QDialog {
    Q_OBJECT
public:
    frmConvert(ProgramFolder programFolder, QString frontPage, QString downloadPage,
               MessageBoxService& messages, Launcher& launcher, QWidget* parent = nullptr);

    void Form_Load();
    void GenerateIdentifier();
    void cmdGenerateIdentifier_Click();
    void Command1_Click();
    void Command3_Click();
    void cmdShowInFolder_Click();
    void cmdCopyPath_Click();
    // Fills the delivery list: the detected files ticked, other possible ones unticked.
    void LoadDeliveryFiles();
    QStringList chosenDeliveryFiles() const;
    // Fills the report of the pages' references that need a look, under its count; assets: the
    // working folder's files.
    void LoadReferenceReport(const QStringList& assets);

    // Fills the window from what was built from this folder before, and remembers what gets
    // built: an update keeps its identifier, so it replaces the installed plugin.
    void rememberProduct(ProductStore& store, const QString& sourceFolder);

    PluginDetails details() const;
    bool isBusy() const { return busy_; }

    QLineEdit* txtPluginID = nullptr;
    QPushButton* cmdGenerateIdentifier = nullptr;
    QLineEdit* txtPlugin_Name = nullptr;
    QLineEdit* txtPlugin_Uri = nullptr;
    QPlainTextEdit* txtPlugin_Description = nullptr;
    QLineEdit* txtPlugin_Version = nullptr;
    QLineEdit* txtPlugin_Author = nullptr;
    QLineEdit* txtPlugin_AuthorUrl = nullptr;
    QLineEdit* txtPlugin_License = nullptr;
    QListWidget* lstDeliveryFiles = nullptr;
    QLabel* lblReferences = nullptr;
    QListWidget* lstReferences = nullptr;
    QLabel* lblRemembered = nullptr;
    QLabel* lblArchive = nullptr;
    QLineEdit* txtArchive = nullptr;
    QPushButton* cmdShowInFolder = nullptr;
    QPushButton* cmdCopyPath = nullptr;
    QLabel* lblNextStep = nullptr;
    QPushButton* Command3 = nullptr;
    QPushButton* Command1 = nullptr;

public slots:
    void reject() override;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void createControls();
    void setBusy(bool busy);
    // Shows where the plugin just built is, with the ways to it and the next step.
    void showArchive(const QString& archive);
    BuildRequest request() const;

    ProgramFolder programFolder_;
    QString frontPage_;
    QString downloadPage_;
    MessageBoxService& messages_;
    Launcher& launcher_;
    // Saves what was just built for the next version; a record that could not be read stays.
    void saveProduct(const BuildRequest& built);

    QString archive_;
    QStringList assets_; // the working folder's files, as the delivery list found them
    ProductStore* products_ = nullptr;
    QString sourceFolder_;
    bool recordUnreadable_ = false;
    bool busy_ = false;
};
