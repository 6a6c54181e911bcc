#pragma once

#include <QString>

// Button and icon codes of a message box, and the answers it gives.
namespace MsgStyle {
constexpr int OkOnly = 0;
constexpr int YesNoCancel = 3;
constexpr int YesNo = 4;
constexpr int Critical = 16;
constexpr int Question = 32;
constexpr int Exclamation = 48;
constexpr int Information = 64;
constexpr int YesNoQuestion = YesNo + Question;             // 36
constexpr int YesNoInformation = YesNo + Information;       // 68
constexpr int YesNoCancelQuestion = YesNoCancel + Question; // 35
// Which button Enter presses: the first unless one of these is added. A question whose Yes
// overwrites something or builds something incomplete makes No the default.
constexpr int DefaultButton2 = 256;
constexpr int DefaultButton3 = 512;
} // namespace MsgStyle

namespace MsgResult {
constexpr int Ok = 1;
constexpr int Cancel = 2;
constexpr int Yes = 6;
constexpr int No = 7;
} // namespace MsgResult

// A modal message box: a title, a text and a button/icon code; returns 1 (OK), 2 (Cancel),
// 6 (Yes) or 7 (No). Escape answers No to a Yes/No question and Cancel where Cancel is offered.
class MessageBoxService {
public:
    virtual ~MessageBoxService() = default;
    virtual int MsgBox(const QString& title, const QString& text, int style) = 0;
};
