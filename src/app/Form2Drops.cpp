// Files dropped on the window or on the page list replace the list's entries; not while a page is
// being edited, since the list then holds still.
#include "Form2.h"

#include <QComboBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QUrl>

QStringList droppedFiles(const QMimeData* data) {
    QStringList files;
    if (!data || !data->hasUrls())
        return files;
    for (const QUrl& url : data->urls()) {
        if (url.isLocalFile())
            files << url.toLocalFile();
    }
    return files;
}

void Form2::Form_OLEDragDrop(const QStringList& files) {
    if (!listMayChange())
        return;
    Combo1->clear();
    Combo1->addItems(files);
    Combo1->setCurrentIndex(Combo1->count() - 1);
    if (Combo1->count() > 0)
        Combo1_Click();
}

void Form2::Combo1_OLEDragDrop(const QStringList& files) {
    if (!listMayChange())
        return;
    Combo1->clear();
    Combo1->addItems(files);
    Combo1->setCurrentIndex(-1);
    Combo1->setEditText(QString());
}

void Form2::dragEnterEvent(QDragEnterEvent* event) {
    if (listMayChange() && !droppedFiles(event->mimeData()).isEmpty())
        event->acceptProposedAction();
}

void Form2::dropEvent(QDropEvent* event) {
    const QStringList files = droppedFiles(event->mimeData());
    if (files.isEmpty())
        return;
    event->acceptProposedAction();
    Form_OLEDragDrop(files);
}

bool Form2::eventFilter(QObject* watched, QEvent* event) {
    if (watched != Combo1)
        return QWidget::eventFilter(watched, event);
    if (event->type() == QEvent::DragEnter || event->type() == QEvent::DragMove) {
        auto* drag = static_cast<QDragMoveEvent*>(event);
        if (!listMayChange() || droppedFiles(drag->mimeData()).isEmpty())
            drag->ignore();
        else
            drag->acceptProposedAction();
        return true;
    }
    if (event->type() == QEvent::Drop) {
        auto* drop = static_cast<QDropEvent*>(event);
        const QStringList files = droppedFiles(drop->mimeData());
        if (!files.isEmpty()) {
            drop->acceptProposedAction();
            Combo1_OLEDragDrop(files);
        }
        return true;
    }
    return QWidget::eventFilter(watched, event);
}
