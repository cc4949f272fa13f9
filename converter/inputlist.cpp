#include "converter/inputlist.h"

#include "converter/conversionprofiles.h"

#include <QDropEvent>
#include <QFileInfo>
#include <QKeyEvent>
#include <QListWidget>
#include <QMenu>
#include <QMimeData>
#include <QSet>
#include <QUrl>

InputList::InputList(QListWidget *list)
    : QObject(list)
    , list(list)
{
    // The view's own drop handling moves items; drops of files are ours.
    list->setAcceptDrops(true);
    list->viewport()->setAcceptDrops(true);
    list->viewport()->installEventFilter(this);
    list->installEventFilter(this);
    list->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(list, &QWidget::customContextMenuRequested, this, &InputList::showMenu);
}

void InputList::addFiles(const QStringList &paths)
{
    QSet<QString> listed;
    for (int row = 0; row < list->count(); ++row)
        listed.insert(converter::normalizedPath(list->item(row)->text()));
    bool added = false;
    for (const QString &path : paths) {
        const QString key = converter::normalizedPath(path);
        if (listed.contains(key))
            continue;
        listed.insert(key);
        list->addItem(path);
        added = true;
    }
    if (added)
        emit changed();
}

bool InputList::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == list && event->type() == QEvent::KeyPress
        && static_cast<QKeyEvent *>(event)->key() == Qt::Key_Delete) {
        removeSelected();
        return true;
    }
    if (watched != list->viewport())
        return false;
    switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove: {
        auto *drag = static_cast<QDragMoveEvent *>(event);
        if (droppedMedia(drag->mimeData()).isEmpty()) {
            drag->ignore();
        } else {
            drag->setDropAction(Qt::CopyAction);
            drag->accept();
        }
        return true;
    }
    case QEvent::Drop: {
        auto *drop = static_cast<QDropEvent *>(event);
        const QStringList files = droppedMedia(drop->mimeData());
        if (files.isEmpty()) {
            drop->ignore();
            return true;
        }
        drop->setDropAction(Qt::CopyAction);
        drop->accept();
        addFiles(files);
        return true;
    }
    default:
        return false;
    }
}

void InputList::removeSelected()
{
    const QList<QListWidgetItem *> selected = list->selectedItems();
    if (selected.isEmpty())
        return;
    qDeleteAll(selected);
    emit changed();
}

void InputList::showMenu(const QPoint &position)
{
    if (list->selectedItems().isEmpty())
        return;
    QMenu menu(list);
    QAction *remove = menu.addAction(tr("移除"));
    if (menu.exec(list->viewport()->mapToGlobal(position)) == remove)
        removeSelected();
}

QStringList InputList::droppedMedia(const QMimeData *data)
{
    QStringList files;
    if (data == nullptr)
        return files;
    for (const QUrl &url : data->urls()) {
        if (!url.isLocalFile())
            continue;
        const QString path = url.toLocalFile();
        if (QFileInfo(path).isFile() && (converter::isAudioFile(path) || converter::isVideoFile(path)))
            files << path;
    }
    return files;
}
