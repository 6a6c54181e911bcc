#pragma once

#include "util/services/FolderSelector.h"
#include "util/services/InputBoxService.h"
#include "util/services/MessageBoxService.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <deque>
#include <functional>

// The next answer of a script, or the fallback once the script has run out.
template <typename Answer> Answer nextAnswer(std::deque<Answer>& answers, Answer fallback = {}) {
    if (answers.empty())
        return fallback;
    Answer answer = answers.front();
    answers.pop_front();
    return answer;
}

// Message boxes are recorded; Yes/No(/Cancel) questions take their answers from a script (Yes
// when the script has run out), so a test never blocks.
class FakeMessageBox : public MessageBoxService {
public:
    struct Shown {
        QString title;
        QString text;
        int style;
    };

    int MsgBox(const QString& title, const QString& text, int style) override {
        shown.push_back({title, text, style});
        if (whileShown)
            whileShown(); // what happens while the box is open, such as a timer's tick
        const int buttons = style & 0x7;
        if (buttons != MsgStyle::YesNo && buttons != MsgStyle::YesNoCancel)
            return MsgResult::Ok;
        return nextAnswer(answers, MsgResult::Yes);
    }

    QStringList titles() const {
        QStringList out;
        for (const auto& s : shown)
            out << s.title;
        return out;
    }

    std::deque<int> answers;
    QList<Shown> shown;
    std::function<void()> whileShown;
};

class FakeInputBox : public InputBoxService {
public:
    QString InputBox(const QString& prompt, const QString& title,
                     const QString& defaultText) override {
        asked << prompt + QStringLiteral(" | ") + title + QStringLiteral(" | ") + defaultText;
        return nextAnswer(answers);
    }

    std::deque<QString> answers;
    QStringList asked;
};

class FakeFolderSelector : public FolderSelector {
public:
    QString SelectFolder(QWidget* owner, const QString& title) override {
        lastOwner = owner;
        titles << title;
        return nextAnswer(answers);
    }

    std::deque<QString> answers;
    QStringList titles;
    QWidget* lastOwner = nullptr;
};
