#pragma once

#include <QString>

// A modal one-line input box; returns the typed text, or an empty text when cancelled.
class InputBoxService {
public:
    virtual ~InputBoxService() = default;
    virtual QString InputBox(const QString& prompt, const QString& title,
                             const QString& defaultText) = 0;
};
