#pragma once

#include <QComboBox>

// An editable drop-down whose accessible name stays its name, with its text as the value. On
// Linux Qt names such a drop-down after its text and leaves its label to a relation, so screen
// readers would announce a path where the user expects "Page".
class NamedComboBox : public QComboBox {
    Q_OBJECT
public:
    explicit NamedComboBox(QWidget* parent = nullptr);
};
