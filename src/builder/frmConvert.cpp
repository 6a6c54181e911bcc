#include "frmConvert.h"

#include "DeliveryFiles.h"
#include "PageConversion.h"
#include "PluginBuilder.h"
#include "ProductStore.h"
#include "WorkWithProgress.h"
#include "conversion/SitePages.h"
#include "util/HelperOps.h"
#include "util/PageEncoding.h"
#include "util/Progress.h"
#include "util/RecurseFiles.h"
#include "util/ScreenFit.h"
#include "util/services/Launcher.h"
#include "util/services/MessageBoxService.h"

#include <QClipboard>
#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

namespace {

QLabel* label(QWidget* parent, const QString& text) {
    return new QLabel(text, parent);
}

// An explanation below a box, wrapped to the box's width.
QLabel* note(QWidget* parent, const QString& text) {
    QLabel* l = label(parent, text);
    l->setWordWrap(true);
    return l;
}

// A box in the details grid, named for screen readers by the label beside it.
template <typename Box>
Box* labelledBox(QGridLayout* grid, const QString& caption, int row, int width = 0,
                 int height = 0) {
    QWidget* parent = grid->parentWidget();
    QLabel* l = label(parent, caption);
    auto* box = new Box(parent);
    box->setAccessibleName(caption);
    l->setBuddy(box);
    // Beside a one-line box, level with its text; beside a taller one, at its top.
    grid->addWidget(l, row, 0, Qt::AlignLeft | (height == 0 ? Qt::AlignVCenter : Qt::AlignTop));
    if (height > 0)
        box->setFixedHeight(height);
    if (width > 0) {
        box->setFixedWidth(width); // short values keep short boxes
        grid->addWidget(box, row, 1, Qt::AlignLeft);
    } else {
        grid->addWidget(box, row, 1);
    }
    return box;
}

QPushButton* button(QWidget* parent, const QString& caption, int minimumWidth) {
    auto* b = new QPushButton(caption, parent);
    b->setAccessibleName(caption);
    b->setMinimumSize(minimumWidth, 32);
    return b;
}

} // namespace

frmConvert::frmConvert(ProgramFolder programFolder, QString frontPage, QString downloadPage,
                       MessageBoxService& messages, Launcher& launcher, QWidget* parent)
    : QDialog(parent), programFolder_(std::move(programFolder)), frontPage_(std::move(frontPage)),
      downloadPage_(std::move(downloadPage)), messages_(messages), launcher_(launcher) {
    createControls();
    connect(cmdGenerateIdentifier, &QPushButton::clicked, this,
            [this] { cmdGenerateIdentifier_Click(); });
    connect(Command1, &QPushButton::clicked, this, [this] { Command1_Click(); });
    connect(Command3, &QPushButton::clicked, this, [this] { Command3_Click(); });
    connect(cmdShowInFolder, &QPushButton::clicked, this, [this] { cmdShowInFolder_Click(); });
    connect(cmdCopyPath, &QPushButton::clicked, this, [this] { cmdCopyPath_Click(); });
    Form_Load();
}

void frmConvert::createControls() {
    setObjectName(QStringLiteral("frmConvert"));
    setWindowTitle(QStringLiteral("Create Plugin"));

    auto* top = new QGridLayout;
    auto* identifierLabel = label(this, QStringLiteral("Unique Identifier"));
    txtPluginID = new QLineEdit(this);
    txtPluginID->setFixedWidth(160);
    txtPluginID->setAccessibleName(QStringLiteral("Unique Identifier"));
    identifierLabel->setBuddy(txtPluginID);
    cmdGenerateIdentifier = button(this, QStringLiteral("Generate New"), 120);
    auto* identifierRow = new QHBoxLayout;
    identifierRow->addWidget(txtPluginID);
    identifierRow->addWidget(cmdGenerateIdentifier);
    identifierRow->addStretch(1);
    top->addWidget(identifierLabel, 0, 0);
    top->addLayout(identifierRow, 0, 1);
    top->addWidget(
        note(this,
             QStringLiteral("This is a unique identifier for the internal use of the plugin.")),
        1, 1);
    lblRemembered = note(this, QString());
    lblRemembered->setVisible(false);
    top->addWidget(lblRemembered, 2, 1);

    auto* details = new QGroupBox(QStringLiteral(" Enter Your Plugin Details      "), this);
    // Only the caption is bold; the fields inside keep the window's font.
    details->setStyleSheet(QStringLiteral("QGroupBox { font-weight: bold; }"));
    auto* grid = new QGridLayout(details);
    grid->setColumnStretch(1, 1);
    grid->addWidget(label(details, QStringLiteral("Enter the details of your plugin below:")), 0, 0,
                    1, 2);
    txtPlugin_Name = labelledBox<QLineEdit>(grid, QStringLiteral("Plugin Name:"), 1);
    txtPlugin_Name->setMinimumWidth(440);
    grid->addWidget(note(details, QStringLiteral("Please Keep this Name as Short as Possible. "
                                                 "Allowed characters: letters, numbers and "
                                                 "spaces.")),
                    2, 1);
    txtPlugin_Uri = labelledBox<QLineEdit>(grid, QStringLiteral("Plugin URI:"), 3);
    txtPlugin_Description =
        labelledBox<QPlainTextEdit>(grid, QStringLiteral("Description:"), 4, 0, 76);
    txtPlugin_Description->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    txtPlugin_Description->setTabChangesFocus(true);
    txtPlugin_Version = labelledBox<QLineEdit>(grid, QStringLiteral("Version:"), 5, 120);
    txtPlugin_Author = labelledBox<QLineEdit>(grid, QStringLiteral("Author:"), 6);
    txtPlugin_AuthorUrl = labelledBox<QLineEdit>(grid, QStringLiteral("Author Url:"), 7);
    txtPlugin_License = labelledBox<QLineEdit>(grid, QStringLiteral("License:"), 8, 120);

    const QString deliveryCaption =
        QStringLiteral("Delivery files (kept private; buyers get download links that expire):");
    auto* deliveryLabel = label(this, deliveryCaption);
    lstDeliveryFiles = new QListWidget(this);
    lstDeliveryFiles->setMinimumHeight(80);
    lstDeliveryFiles->setAccessibleName(deliveryCaption);
    deliveryLabel->setBuddy(lstDeliveryFiles);

    lblReferences = label(this, ReferenceReportHeading(0));
    lstReferences = new QListWidget(this);
    lstReferences->setMinimumHeight(60);
    // Long lines wrap, so the whole of each stays in sight.
    lstReferences->setWordWrap(true);
    lstReferences->setResizeMode(QListView::Adjust);
    lstReferences->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    lstReferences->setAccessibleName(QStringLiteral("References to check"));
    lblReferences->setBuddy(lstReferences);

    // Where the last plugin went, and what to do with it; shown once one is built.
    const QString archiveCaption = QStringLiteral("Your plugin:");
    lblArchive = label(this, archiveCaption);
    txtArchive = new QLineEdit(this);
    txtArchive->setReadOnly(true);
    txtArchive->setAccessibleName(archiveCaption);
    lblArchive->setBuddy(txtArchive);
    cmdShowInFolder = button(this, QStringLiteral("Show in Folder"), 140);
    cmdCopyPath = button(this, QStringLiteral("Copy Path"), 120);
    lblNextStep = note(this, QStringLiteral("Next: in WordPress, upload it under Plugins › Add "
                                            "New › Upload Plugin. For an update, choose "
                                            "\"Replace current with uploaded\" when WordPress "
                                            "asks."));
    auto* archiveRow = new QHBoxLayout;
    archiveRow->addWidget(lblArchive);
    archiveRow->addWidget(txtArchive, 1);
    archiveRow->addWidget(cmdShowInFolder);
    archiveRow->addWidget(cmdCopyPath);
    for (QWidget* w : std::initializer_list<QWidget*>{lblArchive, txtArchive, cmdShowInFolder,
                                                      cmdCopyPath, lblNextStep})
        w->setVisible(false);

    Command3 = button(this, QStringLiteral("Create Plugin"), 200);
    Command1 = button(this, QStringLiteral("Close Window"), 160);
    Command3->setAutoDefault(false);
    cmdShowInFolder->setAutoDefault(false);
    cmdCopyPath->setAutoDefault(false);
    Command1->setAutoDefault(false);
    cmdGenerateIdentifier->setAutoDefault(false);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(Command3);
    buttons->addWidget(Command1);
    buttons->addStretch(1);

    auto* column = new QVBoxLayout(this);
    column->addLayout(top);
    column->addWidget(details);
    column->addWidget(deliveryLabel);
    // The two lists give up height on small screens.
    column->addWidget(lstDeliveryFiles, 1);
    column->addWidget(lblReferences);
    column->addWidget(lstReferences, 1);
    column->addLayout(archiveRow);
    column->addWidget(lblNextStep);
    column->addLayout(buttons);

    QWidget* order[] = {txtPluginID,       Command3,         cmdGenerateIdentifier,
                        txtPlugin_Name,    txtPlugin_Uri,    txtPlugin_Description,
                        txtPlugin_Version, txtPlugin_Author, txtPlugin_AuthorUrl,
                        txtPlugin_License, lstDeliveryFiles, lstReferences,
                        txtArchive,        cmdShowInFolder,  cmdCopyPath,
                        Command1};
    for (size_t i = 0; i + 1 < std::size(order); ++i)
        setTabOrder(order[i], order[i + 1]);
    txtPluginID->setFocus();

    // As large as the content asks, as far as the screen allows.
    ensurePolished();
    const QRect area = screen()->availableGeometry();
    setMinimumSize(ScreenFit::fitted(minimumSizeHint(), area));
    resize(ScreenFit::fitted(sizeHint(), area).expandedTo(minimumSize()));
}

void frmConvert::Form_Load() {
    GenerateIdentifier();
    // Hints, not values: a field left as it came stays empty, and the check asks for it.
    txtPlugin_Name->setPlaceholderText(QStringLiteral("My Plugin"));
    txtPlugin_Uri->setPlaceholderText(QStringLiteral("https://www.example.com/my-plugin"));
    txtPlugin_Description->setPlaceholderText(QStringLiteral("Enter your description..."));
    txtPlugin_Author->setPlaceholderText(QStringLiteral("Enter Your Name..."));
    txtPlugin_AuthorUrl->setPlaceholderText(QStringLiteral("Enter Your Url ..."));
    // Real values a first version usually has.
    txtPlugin_Version->setText(QStringLiteral("1.0"));
    txtPlugin_License->setText(QStringLiteral("GPL"));
    LoadDeliveryFiles();
}

void frmConvert::rememberProduct(ProductStore& store, const QString& sourceFolder) {
    products_ = &store;
    sourceFolder_ = sourceFolder;
    std::optional<ProductRecord> record;
    try {
        record = store.find(sourceFolder);
    } catch (const FileError& error) {
        recordUnreadable_ = true;
        messages_.MsgBox(QStringLiteral("Product Not Remembered"),
                         QStringLiteral("What Ostrel remembered of this product cannot be read, so "
                                        "the details start afresh. Ostrel leaves the record as it "
                                        "is and will not remember this build.\n%1")
                             .arg(error.description()),
                         MsgStyle::Information);
        return;
    }
    if (!record)
        return;
    txtPluginID->setText(record->identifier);
    const PluginDetails& d = record->details;
    txtPlugin_Name->setText(d.name);
    txtPlugin_Uri->setText(d.uri);
    txtPlugin_Description->setPlainText(d.description);
    txtPlugin_Version->setText(
        record->lastBuiltVersion.isEmpty() ? d.version : NextVersion(record->lastBuiltVersion));
    txtPlugin_Author->setText(d.author);
    txtPlugin_AuthorUrl->setText(d.authorUri);
    txtPlugin_License->setText(d.license);
    for (int i = 0; i < lstDeliveryFiles->count(); ++i) {
        QListWidgetItem* item = lstDeliveryFiles->item(i);
        if (item->flags() & Qt::ItemIsUserCheckable)
            item->setCheckState(record->deliveryFiles.contains(item->text()) ? Qt::Checked
                                                                             : Qt::Unchecked);
    }
    LoadReferenceReport(assets_); // the delivery choice moves pages' links to them
    lblRemembered->setText(
        QStringLiteral("Remembered from your last plugin made from this folder (version %1). Keep "
                       "this identifier: with it, WordPress replaces the installed plugin with "
                       "the new version.")
            .arg(record->lastBuiltVersion.isEmpty() ? d.version : record->lastBuiltVersion));
    lblRemembered->setVisible(true);
}

void frmConvert::saveProduct(const BuildRequest& built) {
    if (!products_ || recordUnreadable_)
        return;
    try {
        products_->save({sourceFolder_, built.pluginPrefix, built.details, built.deliveryFiles,
                         built.details.version});
    } catch (const FileError& error) {
        messages_.MsgBox(QStringLiteral("Product Not Remembered"),
                         QStringLiteral("Your plugin is built, but Ostrel could not remember its "
                                        "details for the next version: type the same identifier "
                                        "(%1) then.\n%2")
                             .arg(built.pluginPrefix, error.description()),
                         MsgStyle::Information);
    }
}

void frmConvert::LoadDeliveryFiles() {
    lstDeliveryFiles->clear();
    DeliveryChoice choice;
    const QString work = programFolder_.workFolder();
    assets_.clear();
    try {
        RecurseFiles(work, work, assets_);
        const QDir folder(work);
        choice = DetectDeliveryFiles(
            LoadPageFromFile(frontPage_), folder.relativeFilePath(frontPage_),
            LoadPageFromFile(downloadPage_), folder.relativeFilePath(downloadPage_), assets_);
    } catch (const FileError&) {
        // A page that cannot be read stops the build with its own message.
    }
    for (const QStringList* files : {&choice.detected, &choice.others}) {
        for (const QString& file : *files) {
            auto* item = new QListWidgetItem(file, lstDeliveryFiles);
            item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
            item->setCheckState(files == &choice.detected ? Qt::Checked : Qt::Unchecked);
        }
    }
    if (lstDeliveryFiles->count() == 0) {
        auto* none = new QListWidgetItem(
            QStringLiteral("None: the pages folder holds no file that could be delivered."),
            lstDeliveryFiles);
        none->setFlags(Qt::ItemIsEnabled);
    }
    LoadReferenceReport(assets_);
}

void frmConvert::LoadReferenceReport(const QStringList& assets) {
    lstReferences->clear();
    QList<ReferenceProblem> problems;
    try {
        const QString work = programFolder_.workFolder();
        const QDir folder(work);
        const SitePages pages =
            FindSitePages(assets, folder.relativeFilePath(frontPage_),
                          folder.relativeFilePath(downloadPage_), chosenDeliveryFiles());
        problems = CheckSiteReferences(work, ReferenceConverter(assets, pages, AssetUrlPrefix()));
    } catch (const FileError&) {
        // As above: the build reports a page it cannot read.
    }
    lblReferences->setText(ReferenceReportHeading(problems.size()));
    for (const ReferenceProblem& problem : problems)
        new QListWidgetItem(problem.text(), lstReferences);
    if (problems.isEmpty()) {
        auto* none = new QListWidgetItem(
            QStringLiteral("None: every address in the pages leads to a file of the folder, to a "
                           "page of the site or elsewhere."),
            lstReferences);
        none->setFlags(Qt::ItemIsEnabled);
    }
}

QStringList frmConvert::chosenDeliveryFiles() const {
    QStringList files;
    for (int i = 0; i < lstDeliveryFiles->count(); ++i) {
        const QListWidgetItem* item = lstDeliveryFiles->item(i);
        if ((item->flags() & Qt::ItemIsUserCheckable) && item->checkState() == Qt::Checked)
            files << item->text();
    }
    return files;
}

void frmConvert::GenerateIdentifier() {
    const int a = RandomNumber(999);
    const int b = RandomNumber(999);
    txtPluginID->setText(QStringLiteral("p%1%2").arg(a).arg(b));
}

void frmConvert::cmdGenerateIdentifier_Click() {
    GenerateIdentifier();
}

void frmConvert::Command1_Click() {
    close();
}

PluginDetails frmConvert::details() const {
    return {
        txtPlugin_Name->text(),    txtPlugin_Uri->text(),    txtPlugin_Description->toPlainText(),
        txtPlugin_Version->text(), txtPlugin_Author->text(), txtPlugin_AuthorUrl->text(),
        txtPlugin_License->text()};
}

BuildRequest frmConvert::request() const {
    BuildRequest r;
    r.pagesFolder = programFolder_.workFolder();
    r.templateFolder = programFolder_.templateFolder();
    r.outputFolder = programFolder_.outputFolder();
    r.programFolder = programFolder_.path();
    r.frontPage = frontPage_;
    r.downloadPage = downloadPage_;
    r.details = details();
    r.pluginPrefix = txtPluginID->text();
    r.deliveryFiles = chosenDeliveryFiles();
    return r;
}

void frmConvert::Command3_Click() {
    const BuildRequest r = request();
    const QString problem = FindRequestProblem(r.details, r.pluginPrefix);
    if (!problem.isEmpty()) {
        messages_.MsgBox(QStringLiteral("Important"), problem, MsgStyle::Information);
        return;
    }
    if (r.deliveryFiles.isEmpty() &&
        messages_.MsgBox(QStringLiteral("No Delivery Files"),
                         QStringLiteral("No delivery file is ticked, so every file of the plugin, "
                                        "your product included, will be public: anyone who "
                                        "guesses its address can download it.\n\nCreate the "
                                        "plugin anyway?"),
                         MsgStyle::YesNoQuestion | MsgStyle::DefaultButton2) != MsgResult::Yes)
        return;
    const QString archive = ArchivePath(r);
    if (QFileInfo::exists(archive) &&
        messages_.MsgBox(QStringLiteral("Replace Plugin"),
                         QStringLiteral("%1 already exists. Replace it with the plugin you are "
                                        "creating now?")
                             .arg(archive),
                         MsgStyle::YesNoQuestion | MsgStyle::DefaultButton2) != MsgResult::Yes)
        return;

    setBusy(true);
    try {
        RunWithProgress(this, QStringLiteral("Creating the Plugin"), {},
                        [&](Progress& progress) { PluginBuilder(launcher_).build(r, &progress); });
    } catch (const Cancelled&) {
        setBusy(false); // nothing was made, and nothing needs saying
        return;
    } catch (const BuildError& error) {
        setBusy(false);
        messages_.MsgBox(QStringLiteral("Error"), error.message(), MsgStyle::Information);
        return;
    }
    setBusy(false);
    showArchive(archive);
    saveProduct(r);
    messages_.MsgBox(QStringLiteral("Done"),
                     QStringLiteral("Done! Your plugin is ready. The software will now open the "
                                    "output window."),
                     MsgStyle::Information);
    if (!launcher_.openFolder(r.outputFolder))
        messages_.MsgBox(QStringLiteral("Output Folder"),
                         QStringLiteral("The output folder could not be opened on this desktop. "
                                        "Your plugin is here:\n%1")
                             .arg(archive),
                         MsgStyle::Information);
}

void frmConvert::showArchive(const QString& archive) {
    archive_ = archive;
    txtArchive->setText(QDir::toNativeSeparators(archive));
    txtArchive->setCursorPosition(0);
    for (QWidget* w : std::initializer_list<QWidget*>{lblArchive, txtArchive, cmdShowInFolder,
                                                      cmdCopyPath, lblNextStep})
        w->setVisible(true);
}

void frmConvert::cmdShowInFolder_Click() {
    if (!archive_.isEmpty() && !launcher_.showFile(archive_))
        messages_.MsgBox(QStringLiteral("Output Folder"),
                         QStringLiteral("The output folder could not be opened on this desktop. "
                                        "Your plugin is here:\n%1")
                             .arg(archive_),
                         MsgStyle::Information);
}

void frmConvert::cmdCopyPath_Click() {
    if (!archive_.isEmpty())
        QGuiApplication::clipboard()->setText(archive_);
}

void frmConvert::setBusy(bool busy) {
    busy_ = busy;
    Command3->setText(busy ? QStringLiteral("Please Wait...") : QStringLiteral("Create Plugin"));
    Command3->setAccessibleName(Command3->text()); // screen readers say what is shown
    for (QWidget* w :
         std::initializer_list<QWidget*>{Command3, txtPluginID, cmdGenerateIdentifier, Command1})
        w->setEnabled(!busy);
}

void frmConvert::reject() {
    if (!busy_)
        QDialog::reject();
}

void frmConvert::closeEvent(QCloseEvent* event) {
    if (busy_)
        event->ignore();
    else
        QDialog::closeEvent(event);
}
