#pragma once

#include <QDialog>
#include <QString>

class QCheckBox;
class QLabel;
class QPushButton;
class QScrollArea;

// The help window. Its one setting is a marker file: when present, the main window saves edited
// pages another way, for systems where the usual save does nothing.
class frmQuickHelp : public QDialog {
    Q_OBJECT
public:
    explicit frmQuickHelp(QString saveMarkerPath, QWidget* parent = nullptr);

    void Form_Load();
    void Command1_Click();

    QLabel* Label2 = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* Label4 = nullptr;
    QLabel* Label11 = nullptr;
    QLabel* Label16 = nullptr;
    QLabel* Label17 = nullptr;
    QLabel* Label3 = nullptr;
    QLabel* Label12 = nullptr;
    QLabel* Label13 = nullptr;
    QLabel* Label7 = nullptr;
    QLabel* Label14 = nullptr;
    QLabel* Label15 = nullptr;
    QLabel* Label5 = nullptr;
    QLabel* Label6 = nullptr;
    QLabel* Label8 = nullptr;
    QLabel* Label9 = nullptr;
    QCheckBox* Check1 = nullptr;
    QLabel* lblMarkerError = nullptr; // why the setting could not be kept; hidden until then
    QLabel* Label10 = nullptr;
    QPushButton* Command1 = nullptr;
    QScrollArea* scroller = nullptr;

    // What the marker file holds; only its presence matters to the reader.
    QString Text1 = QStringLiteral("Text1");

private:
    void createControls();
    // Sizes the window to its texts and what lies below them, as far as the screen allows.
    void fitToScreen(int belowTexts);

    static constexpr int kWidth = 640;
    static constexpr int kMaximumHeight = 720;
    void showMarkerError(const QString& reason);

    QString saveMarkerPath_;
};
