// The main window's controls at their design places, and the wiring of their events.
#include "Form2.h"

#include "Twips.h"
#include "editor/WebBrowser.h"

#include <QAction>
#include <QComboBox>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTimer>

namespace {

QColor rgb(int r, int g, int b) {
    return QColor(r, g, b);
}

void setTextColor(QWidget* widget, const QColor& color) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, color);
    palette.setColor(QPalette::ButtonText, color);
    widget->setPalette(palette);
}

void setFontStyle(QWidget* widget, bool bold, double pointSize = 0, bool underline = false) {
    QFont font = widget->font();
    font.setBold(bold);
    font.setUnderline(underline);
    if (pointSize > 0)
        font.setPointSizeF(pointSize);
    widget->setFont(font);
}

QLabel* label(QWidget* parent, const QString& text, const QRect& place) {
    auto* l = new QLabel(text, parent);
    l->setTextFormat(Qt::PlainText); // page paths are shown as they are, never as markup
    l->setGeometry(place);
    return l;
}

QPushButton* button(QWidget* parent, const QString& caption, const QRect& place) {
    auto* b = new QPushButton(caption, parent);
    b->setAccessibleName(caption);
    b->setGeometry(place);
    return b;
}

QGroupBox* frame(QWidget* parent, const QString& caption, const QRect& place) {
    auto* f = new QGroupBox(caption, parent);
    f->setStyleSheet(QStringLiteral("QGroupBox { font-weight: bold; }"));
    f->setAccessibleName(caption.trimmed());
    f->setGeometry(place);
    return f;
}

} // namespace

void Form2::createControls() {
    setObjectName(QStringLiteral("Form2"));
    resize(twipsToPixels(16395), twipsToPixels(10815));
    setAcceptDrops(true);

    Picture2 = new QFrame(this);
    Picture2->setGeometry(twipsRect(0, 0, 16395, 870));
    Picture2->setAutoFillBackground(true);
    QPalette header = Picture2->palette();
    header.setColor(QPalette::Window, rgb(64, 64, 64));
    Picture2->setPalette(header);

    lblAppName = label(Picture2, QString(), twipsRect(495, 225, 4335, 375));
    setTextColor(lblAppName, Qt::white);
    QFont titleFont = lblAppName->font();
    titleFont.setFamilies({QStringLiteral("Trebuchet MS"), QStringLiteral("DejaVu Sans")});
    titleFont.setBold(true);
    titleFont.setPointSizeF(15.75);
    lblAppName->setFont(titleFont);

    lblBy = label(Picture2, QString(), QRect());
    lblBy->setVisible(false);

    lblPageSelected = label(Picture2, QString(), twipsRect(10485, 315, 2715, 285));
    setTextColor(lblPageSelected, rgb(192, 255, 255));
    lblPageSelected->setVisible(false);

    Combo1 = new QComboBox(this);
    Combo1->setEditable(true);
    Combo1->setInsertPolicy(QComboBox::NoInsert);
    Combo1->setAccessibleName(QStringLiteral("Page"));
    Combo1->setGeometry(twipsRect(405, 1035, 8610, 315));

    Command5 = button(this, QStringLiteral("+"), twipsRect(9180, 945, 465, 420));
    Command5->setToolTip(QStringLiteral("Load HTML Folder"));
    Command5->setAccessibleDescription(QStringLiteral("Load HTML Folder"));
    cmdSetasFE =
        button(this, QStringLiteral("Set as Front-End Page"), twipsRect(9810, 945, 1950, 420));
    cmdSetasDownloadPage =
        button(this, QStringLiteral("Set as Download Page"), twipsRect(11790, 945, 1995, 420));
    Command2 = button(this, QStringLiteral("Edit Page"), twipsRect(13950, 945, 2175, 420));
    Command1 = button(this, QString(), twipsRect(17910, 945, 1635, 420));
    Command1->setVisible(false);

    lblHelp = button(this, QStringLiteral("Help"), twipsRect(16830, 1035, 735, 240));
    lblHelp->setFlat(true);
    lblHelp->setCursor(Qt::PointingHandCursor);
    setTextColor(lblHelp, rgb(0, 128, 0));
    setFontStyle(lblHelp, true, 0, true);

    if (QWidget* view = WebBrowser1->view()) {
        view->setParent(this);
        view->setGeometry(twipsRect(405, 1440, 19590, 5775));
        view->setAccessibleName(QStringLiteral("Page preview"));
    }

    frSelected = frame(this, QStringLiteral(" Pages"), twipsRect(450, 7425, 11850, 1815));
    Label4 = label(frSelected, QStringLiteral("Front-End Page:"), twipsRect(225, 360, 1500, 285));
    Label5 = label(frSelected, QStringLiteral("Download Page:"), twipsRect(225, 720, 1500, 285));
    for (QLabel* l : {Label4, Label5})
        setFontStyle(l, true);
    lblSelectedPage[0] = label(frSelected, QString(), twipsRect(1845, 360, 7845, 285));
    lblSelectedPage[1] = label(frSelected, QString(), twipsRect(1845, 720, 7845, 285));
    cmdRemove[0] = button(frSelected, QStringLiteral("Remove"), twipsRect(10620, 360, 1095, 285));
    cmdRemove[1] = button(frSelected, QStringLiteral("Remove"), twipsRect(10620, 675, 1095, 285));
    cmdRemove[0]->setAccessibleDescription(QStringLiteral("Remove the front-end page"));
    cmdRemove[1]->setAccessibleDescription(QStringLiteral("Remove the download page"));
    for (int i = 0; i < 2; ++i)
        cmdRemove_Click(i); // the unset texts, clear buttons disabled
    Label9 = label(frSelected,
                   QStringLiteral("Important: Your Front-End Page Needs to have the following tag: "
                                  "#FRONT#. Your download page needs to have this one: #BACK#."),
                   twipsRect(270, 1080, 10320, 240));
    setTextColor(Label9, rgb(0, 0, 192));
    Label7 = label(frSelected,
                   QStringLiteral("You can add these tags to your documents by using the \"Edit "
                                  "Page\" button. Please read the user manual for more details."),
                   twipsRect(270, 1395, 10320, 240));

    Command3 = button(this, QStringLiteral("Convert to WordPress Plugin"),
                      twipsRect(12465, 7650, 7485, 1455));
    setFontStyle(Command3, true, 9.75);

    frShortcuts =
        frame(this, QStringLiteral("Shortcuts (Remember to click the \"Edit Page\" Button First)"),
              twipsRect(495, 9315, 19590, 1050));
    Label2 = label(frShortcuts,
                   QStringLiteral("Notice: Some pages may look different in this browser than how "
                                  "you see them under Google Chrome or Firefox but it's ok."),
                   twipsRect(360, 585, 15585, 240));
    setTextColor(Label2, rgb(0, 64, 0));

    mnuPopup = new QMenu(QStringLiteral("Popup"), this);
    mnuLoadUsingBrowser =
        mnuPopup->addAction(QStringLiteral("Load HTML Folder by Using the Folder Selector"));
    mnuLoadUsingLocation =
        mnuPopup->addAction(QStringLiteral("Load HTML Folder by Entering its Path"));

    tmrHTMLSourceMonitor = new QTimer(this);
    tmrHTMLSourceMonitor->setInterval(200);
    tmrRemoveMsgs = new QTimer(this);
    tmrRemoveMsgs->setInterval(1800);
}

void Form2::connectHandlers() {
    connect(Command5, &QPushButton::clicked, this, [this] { Command5_Click(); });
    connect(mnuLoadUsingBrowser, &QAction::triggered, this,
            [this] { mnuLoadUsingBrowser_Click(); });
    connect(mnuLoadUsingLocation, &QAction::triggered, this,
            [this] { mnuLoadUsingLocation_Click(); });
    connect(cmdSetasFE, &QPushButton::clicked, this, [this] { cmdSetasFE_Click(); });
    connect(cmdSetasDownloadPage, &QPushButton::clicked, this,
            [this] { cmdSetasDownloadPage_Click(); });
    for (int i = 0; i < 2; ++i)
        connect(cmdRemove[i], &QPushButton::clicked, this, [this, i] { cmdRemove_Click(i); });
    connect(Command3, &QPushButton::clicked, this, [this] { Command3_Click(); });
    connect(Combo1, &QComboBox::activated, this, [this] { Combo1_Click(); });
    connect(tmrHTMLSourceMonitor, &QTimer::timeout, this, [this] { tmrHTMLSourceMonitor_Timer(); });
    connect(tmrRemoveMsgs, &QTimer::timeout, this, [this] { tmrRemoveMsgs_Timer(); });
    tmrHTMLSourceMonitor->start();
    tmrRemoveMsgs->start();
}

void Form2::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    Picture2->setGeometry(0, 0, width(), Picture2->height()); // docked along the top edge
}
