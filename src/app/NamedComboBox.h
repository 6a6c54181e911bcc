#pragma once

#include <QComboBox>

// An editable drop-down whose accessible name stays its name, with its text as the value. On
// Linux Qt names a drop-down after its text and leaves its label to a relation, so screen readers
// would announce a path where the user expects "Page". Everything else is exposed as Qt exposes a
// drop-down: its list of items and its text field as children, and the action that opens the
// list.
class NamedComboBox : public QComboBox {
    Q_OBJECT
public:
    explicit NamedComboBox(QWidget* parent = nullptr);
};
