#include "frmQuickHelp.h"

#include "util/FileError.h"
#include "util/HelperOps.h"
#include "util/ScreenFit.h"
#include "util/TextFile.h"

#include <QCheckBox>
#include <QFile>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QTimer>
#include <QVBoxLayout>
#include <cerrno>
#include <unistd.h>

namespace {

enum class Look { Heading, Text, Note, Warning };

QLabel* addLabel(QVBoxLayout* layout, const char* name, Look look, const QString& text) {
    auto* l = new QLabel;
    l->setObjectName(QString::fromLatin1(name));
    l->setTextFormat(Qt::PlainText); // the texts hold '#' and quotes, never markup
    l->setWordWrap(true);
    l->setText(text);
    switch (look) {
    case Look::Heading: {
        QFont font = l->font();
        font.setBold(true);
        font.setPointSizeF(font.pointSizeF() * 1.15);
        l->setFont(font);
        break;
    }
    case Look::Text:
        break;
    case Look::Note:
        // The margin, not style-sheet padding, so wrapped lines get their full height.
        l->setMargin(6);
        l->setStyleSheet(QStringLiteral(
            "QLabel { color: #202020; background-color: #ffffe1; border: 1px solid #e6db74; }"));
        break;
    case Look::Warning:
        l->setStyleSheet(QStringLiteral("QLabel { color: #8b0000; }"));
        break;
    }
    layout->addWidget(l);
    return l;
}

// The middle of each gap between the texts of a column laid out at the given width, from the
// top: where a view of it may end without cutting through a line.
QList<int> gapsOf(const QLayout* column, int width) {
    const QMargins margins = column->contentsMargins();
    const int inner = width - margins.left() - margins.right();
    QList<int> gaps;
    int y = margins.top();
    for (int i = 0; i < column->count(); ++i) {
        QLayoutItem* item = column->itemAt(i);
        if (item->isEmpty() || !item->widget())
            continue; // hidden texts, and the stretch at the end
        y += item->hasHeightForWidth() ? item->heightForWidth(inner) : item->sizeHint().height();
        gaps << y + column->spacing() / 2;
        y += column->spacing();
    }
    return gaps;
}

// Removes the marker; a marker already gone is what was wanted.
void deleteMarker(const QString& path) {
    if (::unlink(QFile::encodeName(path).constData()) != 0 && errno != ENOENT)
        throw FileError::fromErrno(errno, QStringLiteral("Cannot delete"), path);
}

} // namespace

frmQuickHelp::frmQuickHelp(QString saveMarkerPath, QWidget* parent)
    : QDialog(parent), saveMarkerPath_(std::move(saveMarkerPath)) {
    createControls();
    connect(Command1, &QPushButton::clicked, this, [this] { Command1_Click(); });
    Form_Load();
}

void frmQuickHelp::createControls() {
    setObjectName(QStringLiteral("frmQuickHelp"));
    setWindowTitle(QStringLiteral("Quick Help"));
    setModal(true);

    auto* content = new QWidget;
    auto* column = new QVBoxLayout(content);
    column->setSpacing(10);

    Label2 = addLabel(column, "Label2", Look::Heading, QStringLiteral("Software Requirements"));
    Label1 = addLabel(column, "Label1", Look::Text,
                      QStringLiteral("To use this software your computer needs the web engine "
                                     "that comes with it; nothing else needs to be installed."));
    Label4 = addLabel(column, "Label4", Look::Heading, QStringLiteral("Using the Software"));
    Label11 = addLabel(
        column, "Label11", Look::Text,
        QStringLiteral("Using the software it's really easy: First, open a folder containing an "
                       "HTML sales page (most sellers of resell-rights products provide a "
                       "reseller website containing a sales page and a download page)."));
    Label16 = addLabel(column, "Label16", Look::Note,
                       QStringLiteral("Make sure that the download files (like a .pdf file etc), "
                                      "are included in this folder so they're also added to the "
                                      "plugin."));
    Label17 = addLabel(column, "Label17", Look::Heading,
                       QStringLiteral("Telling the Software which is Your Front-End Page and "
                                      "which is your Download Page."));
    Label3 = addLabel(column, "Label3", Look::Text,
                      QStringLiteral("After this, use the drop-down selector, select your "
                                     "front-end page (usually index.html or index.htm) and click "
                                     "the \"Set as Front-End Page\" button."));
    Label12 = addLabel(column, "Label12", Look::Text,
                       QStringLiteral("Then, use the drop-down selector again, select your "
                                      "download page (the name of the page will usually start "
                                      "with \"download\" but it may have another name) and click "
                                      "the \"Set as Download Page\" button."));
    Label13 =
        addLabel(column, "Label13", Look::Heading,
                 QStringLiteral("Adding Tags to Your Front-End Page and to Your Sales Page."));
    Label7 = addLabel(
        column, "Label7", Look::Text,
        QStringLiteral("The software requires that you add the following text to your front-end "
                       "page: #FRONT# "));
    Label14 = addLabel(
        column, "Label14", Look::Text,
        QStringLiteral("To do this, go to your front-end page, click the \"Edit Page\" button, "
                       "click where you want to insert a \"Buy Button\" (or autoresponder form - "
                       "if you're using a lead magnet page), enter the #FRONT# and save the "
                       "page."));
    Label15 = addLabel(column, "Label15", Look::Text,
                       QStringLiteral("We'll do the same with the download page but here we'll "
                                      "enter the #BACK# tag. Please read the user manual for "
                                      "more info."));
    Label5 = addLabel(column, "Label5", Look::Note,
                      QStringLiteral("Some pages may look different in this browser than how you "
                                     "see them under Google Chrome or Firefox and it's ok."));
    Label6 = addLabel(column, "Label6", Look::Note,
                      QStringLiteral("This software doesn't replace a web design tool. It's main "
                                     "goal is to help you to quickly prepara your pages to covert "
                                     "them to WordPress."));
    Label8 =
        addLabel(column, "Label8", Look::Heading, QStringLiteral("Problems to Save Your Page?"));
    Label9 = addLabel(column, "Label9", Look::Text,
                      QStringLiteral("If you click the \"Save / Discard Changes\" button and "
                                     "nothing happens, then please enable the following option "
                                     "and retry."));

    Check1 = new QCheckBox(QStringLiteral("Yes, I'm Experiencing This."));
    Check1->setObjectName(QStringLiteral("Check1"));
    Check1->setAccessibleName(Check1->text());
    QFont bold = Check1->font();
    bold.setBold(true);
    Check1->setFont(bold);
    column->addWidget(Check1);

    lblMarkerError = addLabel(column, "lblMarkerError", Look::Warning, QString());
    lblMarkerError->setStyleSheet(QStringLiteral("QLabel { color: #d00000; }"));
    lblMarkerError->setTextInteractionFlags(Qt::TextSelectableByMouse);
    lblMarkerError->hide();

    Label10 = addLabel(column, "Label10", Look::Warning,
                       QStringLiteral("Please >> Only enable this option if you click that button "
                                      "and nothing happens (the software doesn't give you an "
                                      "option to save or discard the changes)."));

    column->addStretch(1);

    scroller = new QScrollArea;
    scroller->setObjectName(QStringLiteral("scroller"));
    scroller->setAccessibleName(windowTitle());
    scroller->setWidgetResizable(true);
    scroller->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroller->setFrameShape(QFrame::NoFrame);
    scroller->setWidget(content);

    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(scroller, 1);

    // Below the scrolled texts so it can always be reached.
    Command1 = new QPushButton(QStringLiteral("Close"));
    Command1->setObjectName(QStringLiteral("Command1"));
    Command1->setAccessibleName(Command1->text());
    Command1->setMinimumSize(120, 32);
    auto* buttons = new QHBoxLayout;
    buttons->setContentsMargins(9, 6, 9, 9);
    buttons->addWidget(Command1);
    buttons->addStretch(1);
    outer->addLayout(buttons);

    Check1->setFocus();
    fitToScreen(outer->spacing() + buttons->sizeHint().height());
}

void frmQuickHelp::fitToScreen(int belowTexts) {
    ensurePolished();
    const QSize room =
        ScreenFit::fitted(QSize(kWidth, kMaximumHeight), screen()->availableGeometry());
    setFixedWidth(room.width());
    QWidget* texts = scroller->widget();
    const int limit = room.height() - belowTexts;
    int textsHeight = texts->heightForWidth(width());
    int shown = textsHeight;
    if (textsHeight > limit) {
        // It scrolls: the texts wrap beside the scroll bar, and the view ends in a gap between
        // them rather than through a line.
        const int textsWidth = width() - scroller->verticalScrollBar()->sizeHint().width();
        textsHeight = texts->heightForWidth(textsWidth);
        shown = ScreenFit::cutAtBreak(textsHeight, limit, gapsOf(texts->layout(), textsWidth));
    }
    setMaximumHeight(textsHeight + belowTexts);
    resize(width(), shown + belowTexts);
}

void frmQuickHelp::Form_Load() {
    Check1->setChecked(FileExists(saveMarkerPath_));
}

void frmQuickHelp::Command1_Click() {
    try {
        if (Check1->isChecked())
            SaveTextToFile(Text1, saveMarkerPath_);
        else if (FileExists(saveMarkerPath_))
            deleteMarker(saveMarkerPath_);
    } catch (const FileError& error) {
        showMarkerError(error.description());
        return;
    }
    lblMarkerError->hide();
    accept();
}

void frmQuickHelp::showMarkerError(const QString& reason) {
    lblMarkerError->setText(QStringLiteral("The option could not be kept: %1").arg(reason));
    lblMarkerError->show();
    // Once the label has its place in the relaid-out column.
    QTimer::singleShot(0, this, [this] { scroller->ensureWidgetVisible(lblMarkerError); });
}
