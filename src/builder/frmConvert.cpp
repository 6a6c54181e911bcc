#include "frmConvert.h"

#include "DeliveryFiles.h"
#include "PluginBuilder.h"
#include "util/HelperOps.h"
#include "util/PageEncoding.h"
#include "util/RecurseFiles.h"
#include "util/services/Launcher.h"
#include "util/services/MessageBoxService.h"

#include <QCloseEvent>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>

namespace {

QLabel* label(QWidget* parent, const QString& text, const QRect& place) {
    auto* l = new QLabel(text, parent);
    l->setGeometry(place);
    return l;
}

// A box named for screen readers by the label beside it.
template <typename Box>
Box* labelledBox(QWidget* parent, const QString& caption, int top, int width, int height = 24) {
    QLabel* l = label(parent, caption, QRect(15, top, 110, 24));
    auto* box = new Box(parent);
    box->setGeometry(130, top, width, height);
    box->setAccessibleName(caption);
    l->setBuddy(box);
    return box;
}

QPushButton* button(QWidget* parent, const QString& caption, const QRect& place) {
    auto* b = new QPushButton(caption, parent);
    b->setAccessibleName(caption);
    b->setGeometry(place);
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
    Form_Load();
}

void frmConvert::createControls() {
    setObjectName(QStringLiteral("frmConvert"));
    setWindowTitle(QStringLiteral("Create Plugin"));
    // The design's 508 pixels, and room below the details for the delivery files.
    setFixedSize(994, 668);

    label(this, QStringLiteral("Unique Identifier"), QRect(15, 18, 120, 24));
    txtPluginID = new QLineEdit(this);
    txtPluginID->setGeometry(140, 18, 160, 24);
    txtPluginID->setAccessibleName(QStringLiteral("Unique Identifier"));
    cmdGenerateIdentifier = button(this, QStringLiteral("Generate New"), QRect(310, 15, 120, 30));
    label(this, QStringLiteral("This is a unique identifier for the internal use of the plugin."),
          QRect(445, 18, 530, 24));

    auto* details = new QGroupBox(QStringLiteral(" Enter Your Plugin Details      "), this);
    details->setGeometry(15, 60, 964, 375);
    details->setStyleSheet(QStringLiteral("QGroupBox { font-family: Verdana, 'DejaVu Sans'; "
                                          "font-size: 9.75pt; font-weight: bold; }"));
    label(details, QStringLiteral("Enter the details of your plugin below:"),
          QRect(15, 28, 500, 22));
    txtPlugin_Name = labelledBox<QLineEdit>(details, QStringLiteral("Plugin Name:"), 58, 420);
    auto* nameNote = label(details,
                           QStringLiteral("Please Keep this Name as Short as Possible. Allowed "
                                          "characters: letters, numbers and spaces."),
                           QRect(565, 52, 385, 40));
    nameNote->setWordWrap(true);
    txtPlugin_Uri = labelledBox<QLineEdit>(details, QStringLiteral("Plugin URI:"), 96, 420);
    txtPlugin_Description =
        labelledBox<QPlainTextEdit>(details, QStringLiteral("Description:"), 134, 420, 90);
    txtPlugin_Description->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    txtPlugin_Description->setTabChangesFocus(true);
    txtPlugin_Version = labelledBox<QLineEdit>(details, QStringLiteral("Version:"), 236, 120);
    txtPlugin_Author = labelledBox<QLineEdit>(details, QStringLiteral("Author:"), 274, 420);
    txtPlugin_AuthorUrl = labelledBox<QLineEdit>(details, QStringLiteral("Author Url:"), 312, 420);
    txtPlugin_License = labelledBox<QLineEdit>(details, QStringLiteral("License:"), 340 + 10, 120);

    const QString deliveryCaption =
        QStringLiteral("Delivery files (kept private; buyers get download links that expire):");
    auto* deliveryLabel = label(this, deliveryCaption, QRect(15, 445, 964, 22));
    lstDeliveryFiles = new QListWidget(this);
    lstDeliveryFiles->setGeometry(15, 470, 964, 128);
    lstDeliveryFiles->setAccessibleName(deliveryCaption);
    deliveryLabel->setBuddy(lstDeliveryFiles);

    Command3 = button(this, QStringLiteral("Create Plugin"), QRect(15, 612, 200, 40));
    Command1 = button(this, QStringLiteral("Close Window"), QRect(230, 612, 160, 40));
    Command3->setAutoDefault(false);
    Command1->setAutoDefault(false);
    cmdGenerateIdentifier->setAutoDefault(false);

    QWidget* order[] = {txtPluginID,       Command3,         cmdGenerateIdentifier,
                        txtPlugin_Name,    txtPlugin_Uri,    txtPlugin_Description,
                        txtPlugin_Version, txtPlugin_Author, txtPlugin_AuthorUrl,
                        txtPlugin_License, lstDeliveryFiles, Command1};
    for (size_t i = 0; i + 1 < std::size(order); ++i)
        setTabOrder(order[i], order[i + 1]);
    txtPluginID->setFocus();
}

void frmConvert::Form_Load() {
    GenerateIdentifier();
    txtPlugin_Name->setText(QStringLiteral("My Plugin"));
    txtPlugin_Uri->setText(QStringLiteral("https://www.example.com/my-plugin"));
    txtPlugin_Version->setText(QStringLiteral("1.0"));
    txtPlugin_License->setText(QStringLiteral("GPL"));
    txtPlugin_Description->setPlainText(QStringLiteral("Enter your description..."));
    txtPlugin_Author->setText(QStringLiteral("Enter Your Name..."));
    txtPlugin_AuthorUrl->setText(QStringLiteral("Enter Your Url ..."));
    LoadDeliveryFiles();
}

void frmConvert::LoadDeliveryFiles() {
    lstDeliveryFiles->clear();
    DeliveryChoice choice;
    try {
        const QString work = programFolder_.workFolder();
        QStringList assets;
        RecurseFiles(work, work, assets);
        choice = DetectDeliveryFiles(LoadPageFromFile(frontPage_), LoadPageFromFile(downloadPage_),
                                     assets);
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
    const QString archive = ArchivePath(r);
    if (QFileInfo::exists(archive) &&
        messages_.MsgBox(QStringLiteral("Replace Plugin"),
                         QStringLiteral("%1 already exists. Replace it with the plugin you are "
                                        "creating now?")
                             .arg(archive),
                         MsgStyle::YesNoQuestion) != MsgResult::Yes)
        return;

    setBusy(true);
    try {
        PluginBuilder(launcher_).build(r);
    } catch (const BuildError& error) {
        setBusy(false);
        messages_.MsgBox(QStringLiteral("Error"), error.message(), MsgStyle::Information);
        return;
    }
    setBusy(false);
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
