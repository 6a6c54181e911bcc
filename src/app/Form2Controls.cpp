// The main window's controls at their design places, and the wiring of their events.
#include "Form2.h"
#include "NamedComboBox.h"

#include "editor/WebBrowser.h"
#include "util/ScreenFit.h"

#include <QAction>
#include <QComboBox>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QResizeEvent>
#include <QScreen>
#include <QTimer>

namespace {

// Room beside the Convert button's caption when a narrow window narrows the button.
constexpr int kCaptionAir = 16;

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

QFont plainFont(QWidget* parent) {
    QFont font = parent->window()->font();
    font.setBold(false); // set explicitly, or it would follow the frame's bold caption
    return font;
}

QLabel* label(QWidget* parent, const QString& text) {
    auto* l = new QLabel(text, parent);
    l->setFont(plainFont(parent));   // not the bold of a frame's caption
    l->setTextFormat(Qt::PlainText); // page paths are shown as they are, never as markup
    return l;
}

QPushButton* button(QWidget* parent, const QString& caption) {
    auto* b = new QPushButton(caption, parent);
    b->setFont(plainFont(parent));
    b->setAccessibleName(caption);
    return b;
}

QGroupBox* frame(QWidget* parent, const QString& caption) {
    auto* f = new QGroupBox(caption, parent);
    setFontStyle(f, true);
    f->setAccessibleName(caption.trimmed());
    return f;
}

} // namespace

void Form2::place(QWidget* widget, const QRectF& twips) {
    widget->setGeometry(scale_.toPixels(twips));
}

void Form2::createControls() {
    setObjectName(QStringLiteral("Form2"));
    scale_ = TwipsScale(logicalDpiX());
    setAcceptDrops(true);

    Picture2 = new QFrame(this);
    place(Picture2, {0, 0, 16395, 870});
    Picture2->setAutoFillBackground(true);
    QPalette header = Picture2->palette();
    header.setColor(QPalette::Window, rgb(64, 64, 64));
    Picture2->setPalette(header);

    lblAppName = label(Picture2, QString());
    place(lblAppName, {495, 225, 4335, 375});
    setTextColor(lblAppName, Qt::white);
    QFont titleFont = lblAppName->font();
    titleFont.setFamilies({QStringLiteral("Trebuchet MS"), QStringLiteral("DejaVu Sans")});
    titleFont.setBold(true);
    titleFont.setPointSizeF(15.75);
    lblAppName->setFont(titleFont);

    lblBy = label(Picture2, QString());
    lblBy->setVisible(false);

    lblPageSelected = label(Picture2, QString());
    place(lblPageSelected, {10485, 315, 2715, 285});
    setTextColor(lblPageSelected, rgb(192, 255, 255));
    lblPageSelected->setVisible(false);

    Combo1 = new NamedComboBox(this);
    Combo1->setEditable(true);
    Combo1->setInsertPolicy(QComboBox::NoInsert);
    // The list and the text box inside it are both "Page"; the chosen path is their value.
    Combo1->setAccessibleName(QStringLiteral("Page"));
    Combo1->lineEdit()->setAccessibleName(QStringLiteral("Page"));
    Combo1->setAcceptDrops(true);
    Combo1->lineEdit()->setAcceptDrops(false); // file drops go to the list, not into its text
    Combo1->installEventFilter(this);

    Command5 = button(this, QStringLiteral("+"));
    Command5->setToolTip(QStringLiteral("Load HTML Folder"));
    Command5->setAccessibleDescription(QStringLiteral("Load HTML Folder"));
    cmdSetasFE = button(this, QStringLiteral("Set as Front-End Page"));
    cmdSetasDownloadPage = button(this, QStringLiteral("Set as Download Page"));
    Command2 = button(this, QStringLiteral("Edit Page"));
    Command1 = button(this, QString());
    Command1->setVisible(false);

    lblHelp = button(this, QStringLiteral("Help"));
    lblHelp->setFlat(true);
    lblHelp->setCursor(Qt::PointingHandCursor);
    setTextColor(lblHelp, rgb(0, 128, 0));
    setFontStyle(lblHelp, true, 0, true);

    if (QWidget* view = WebBrowser1->view()) {
        view->setParent(this);
        view->setAccessibleName(QStringLiteral("Page preview"));
    }

    frSelected = frame(this, QStringLiteral(" Pages"));
    Label4 = label(frSelected, QStringLiteral("Front-End Page:"));
    place(Label4, {225, 360, 1500, 285});
    Label5 = label(frSelected, QStringLiteral("Download Page:"));
    place(Label5, {225, 720, 1500, 285});
    for (QLabel* l : {Label4, Label5})
        setFontStyle(l, true);
    lblSelectedPage[0] = label(frSelected, QString());
    place(lblSelectedPage[0], {1845, 360, 7845, 285});
    lblSelectedPage[1] = label(frSelected, QString());
    place(lblSelectedPage[1], {1845, 720, 7845, 285});
    cmdRemove[0] = button(frSelected, QStringLiteral("Remove"));
    place(cmdRemove[0], {10620, 360, 1095, 285});
    cmdRemove[1] = button(frSelected, QStringLiteral("Remove"));
    place(cmdRemove[1], {10620, 675, 1095, 285});
    cmdRemove[0]->setAccessibleDescription(QStringLiteral("Remove the front-end page"));
    cmdRemove[1]->setAccessibleDescription(QStringLiteral("Remove the download page"));
    for (int i = 0; i < 2; ++i)
        cmdRemove_Click(i); // the unset texts, clear buttons disabled
    Label9 = label(frSelected,
                   QStringLiteral("Important: Your Front-End Page Needs to have the following tag: "
                                  "#FRONT#. Your download page needs to have this one: #BACK#."));
    place(Label9, {270, 1080, 10320, 240});
    setTextColor(Label9, rgb(0, 0, 192));
    Label7 = label(frSelected,
                   QStringLiteral("You can add these tags to your documents by using the \"Edit "
                                  "Page\" button. Please read the user manual for more details."));
    place(Label7, {270, 1395, 10320, 240});

    Command3 = button(this, QStringLiteral("Convert to WordPress Plugin"));
    setFontStyle(Command3, true, 9.75);

    frShortcuts =
        frame(this, QStringLiteral("Shortcuts (Remember to click the \"Edit Page\" Button First)"));
    Label2 = label(frShortcuts,
                   QStringLiteral("Notice: Some pages may look different in this browser than how "
                                  "you see them under Google Chrome or Firefox but it's ok."));
    place(Label2, {360, 705, 15585, 240});
    setTextColor(Label2, rgb(0, 64, 0));
    cmdInsertFront = button(frShortcuts, QStringLiteral("Insert #FRONT#"));
    place(cmdInsertFront, {360, 300, 1800, 345});
    cmdInsertBack = button(frShortcuts, QStringLiteral("Insert #BACK#"));
    place(cmdInsertBack, {2280, 300, 1800, 345});
    for (QPushButton* insert : {cmdInsertFront, cmdInsertBack}) {
        insert->setEnabled(false);
        insert->setFocusPolicy(Qt::NoFocus); // the caret stays in the page being edited
    }

    mnuPopup = new QMenu(QStringLiteral("Popup"), this);
    mnuLoadUsingBrowser =
        mnuPopup->addAction(QStringLiteral("Load HTML Folder by Using the Folder Selector"));
    mnuLoadUsingLocation =
        mnuPopup->addAction(QStringLiteral("Load HTML Folder by Entering its Path"));

    tmrHTMLSourceMonitor = new QTimer(this);
    tmrHTMLSourceMonitor->setInterval(200);
    tmrRemoveMsgs = new QTimer(this);
    tmrRemoveMsgs->setInterval(1800);

    fitToScreen();
}

QRect Form2::screenArea() const {
    if (screenArea_)
        return *screenArea_;
    if (QScreen* own = screen())
        return own->availableGeometry();
    return QRect(0, 0, QWIDGETSIZE_MAX, QWIDGETSIZE_MAX); // no screen to fit on
}

void Form2::setScreenArea(const QRect& area) {
    screenArea_ = area;
    fitToScreen();
}

void Form2::fitToScreen() {
    const QSize minimum(scale_.toPixels(Form2Layout::kMinimumWidth),
                        scale_.toPixels(Form2Layout::kMinimumHeight));
    setMinimumSize(ScreenFit::fitted(minimum, screenArea()));
    // Wide enough for every design place, the help link included, where the screen allows.
    const QSize design(scale_.toPixels(Form2Layout::kDesignWidth),
                       scale_.toPixels(Form2Layout::kDesignHeight));
    resize(ScreenFit::fitted(design, screenArea()).expandedTo(minimumSize()));
    Form_Resize();
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
    connect(Command2, &QPushButton::clicked, this, [this] { Command2_Click(); });
    connect(Command3, &QPushButton::clicked, this, [this] { Command3_Click(); });
    connect(cmdInsertFront, &QPushButton::clicked, this, [this] { cmdInsertFront_Click(); });
    connect(cmdInsertBack, &QPushButton::clicked, this, [this] { cmdInsertBack_Click(); });
    connect(lblHelp, &QPushButton::clicked, this, [this] { lblHelp_Click(); });
    connect(Combo1, &QComboBox::activated, this, [this] { Combo1_Click(); });
    connect(WebBrowser1, &WebBrowser::DownloadComplete, this,
            [this] { WebBrowser1_DownloadComplete(); });
    connect(&editing_, &EditSession::editingChanged, this,
            [this](bool editing) { setEditControls(editing); });
    connect(&editing_, &EditSession::pageSaved, this,
            [this](const QString& file) { keepEditedPage(file); });
    connect(tmrHTMLSourceMonitor, &QTimer::timeout, this, [this] { tmrHTMLSourceMonitor_Timer(); });
    connect(tmrRemoveMsgs, &QTimer::timeout, this, [this] { tmrRemoveMsgs_Timer(); });
    tmrHTMLSourceMonitor->start();
    tmrRemoveMsgs->start();
}

void Form2::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    Form_Resize();
}

void Form2::Form_Resize() {
    layout_ = Form2Layout();
    const double outerWidth = scale_.toTwips(frameGeometry().width());
    layout_.applyResizeRules(outerWidth);
    layout_.fitHeight(scale_.toTwips(height()));
    layout_.fitWidth(outerWidth, scale_.toTwips(Command3->sizeHint().width() + kCaptionAir));
    Picture2->setGeometry(0, 0, width(), Picture2->height()); // docked along the top edge
    if (QWidget* view = WebBrowser1->view())
        place(view, layout_.browser);
    place(frShortcuts, layout_.shortcutsFrame);
    place(frSelected, layout_.pagesFrame);
    place(Command3, layout_.convertButton);
    place(Combo1, layout_.pageList);
    place(Command5, layout_.loadButton);
    place(cmdSetasFE, layout_.setFrontButton);
    place(cmdSetasDownloadPage, layout_.setDownloadButton);
    place(Command2, layout_.editButton);
    place(Command1, layout_.hiddenButton);
    place(lblHelp, layout_.helpLink);
}

void Form2::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        Form_Activate();
}
