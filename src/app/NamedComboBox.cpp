#include "NamedComboBox.h"

#include <QAccessibleWidget>

namespace {

class NamedComboAccessible : public QAccessibleWidget {
public:
    explicit NamedComboAccessible(QComboBox* box) : QAccessibleWidget(box, QAccessible::ComboBox) {}

    QString text(QAccessible::Text t) const override {
        const auto* box = static_cast<const QComboBox*>(widget());
        if (t == QAccessible::Name)
            return box->accessibleName();
        if (t == QAccessible::Value)
            return box->currentText();
        return QAccessibleWidget::text(t);
    }
};

// Asked with the most derived class name first, before Qt's own drop-down interface.
QAccessibleInterface* namedComboFactory(const QString& className, QObject* object) {
    if (className != QLatin1String(NamedComboBox::staticMetaObject.className()))
        return nullptr;
    return new NamedComboAccessible(static_cast<NamedComboBox*>(object));
}

} // namespace

NamedComboBox::NamedComboBox(QWidget* parent) : QComboBox(parent) {
    static const bool installed = [] {
        QAccessible::installFactory(namedComboFactory);
        return true;
    }();
    (void)installed;
}
