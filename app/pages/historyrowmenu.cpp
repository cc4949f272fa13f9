// The menu of a recording's row and the ways to reach it: the row's ⋮
// button, a right-click on the row, the Menu key or Shift+F10 on the current
// row. The Delete key and a double-click act on the current row directly.
//
// Every action runs once its menu has closed (queued), and the table is not
// rebuilt while a row's menu is open: no widget of a row is destroyed while
// its own menu or action is running.
#include "app/pages/historypage.h"

#include "app/pages/historytable.h"
#include "ui_historypage.h"

#include <QAction>
#include <QHBoxLayout>
#include <QMenu>
#include <QTableWidget>
#include <QToolButton>

using namespace history;

namespace {

const char *const MenuStyle = "QMenu {   border-radius: 4px;   padding: 5px 0;   margin: 2px 0;}"
                              "QMenu::item {   padding: 6px 20px 6px 10px;}"
                              "QMenu::separator {   height: 1px;   margin: 4px 0;}";
// Set on a menu while it holds the table's rebuilds.
const char *const HoldsRebuilds = "holdsRebuilds";

} // namespace

QWidget *HistoryPage::makeRowMenuButton(const QString &path)
{
    auto *cell = new QWidget;
    auto *layout = new QHBoxLayout(cell);
    layout->setContentsMargins(0, 0, 0, 0);
    auto *button = new QToolButton(cell);
    button->setObjectName(QStringLiteral("rowMenuButton"));
    button->setText(QStringLiteral("\u22EE"));
    button->setPopupMode(QToolButton::InstantPopup);

    auto *menu = new QMenu(button);
    menu->setLayoutDirection(Qt::LeftToRight);
    menu->setStyleSheet(QLatin1String(MenuStyle));
    QAction *play = menu->addAction(QString());
    QAction *locate = menu->addAction(QString());
    QAction *trim = menu->addAction(QString());
    trim->setObjectName(QStringLiteral("trimAction"));
    QAction *copy = menu->addAction(QString());
    menu->addSeparator();
    QAction *remove = menu->addAction(QString());
    remove->setObjectName(QStringLiteral("deleteAction"));
    QAction *removeAll = menu->addAction(QString());
    removeAll->setObjectName(QStringLiteral("clearAllAction"));
    button->setMenu(menu);
    setRowMenuTexts(button);

    connect(play, &QAction::triggered, this, [this, path] { playRecording(path); },
            Qt::QueuedConnection);
    connect(locate, &QAction::triggered, this, [this, path] { openRecordingLocation(path); },
            Qt::QueuedConnection);
    connect(trim, &QAction::triggered, this, [this, path] { trimRecording(path); },
            Qt::QueuedConnection);
    connect(copy, &QAction::triggered, this, [this, path] { copyRecording(path); },
            Qt::QueuedConnection);
    connect(remove, &QAction::triggered, this, [this, path] { deleteRecording(path); },
            Qt::QueuedConnection);
    connect(removeAll, &QAction::triggered, this, &HistoryPage::deleteAllRecordings,
            Qt::QueuedConnection);
    connect(menu, &QMenu::aboutToShow, this, [this, menu, trim, path] {
        // The file being recorded is still growing: nothing to cut yet.
        trim->setEnabled(path != fileBeingRecorded());
        if (menu->property(HoldsRebuilds).toBool())
            return;
        menu->setProperty(HoldsRebuilds, true);
        holdRebuilds();
    });
    // Queued: the menu's own code is still running when it hides.
    connect(menu, &QMenu::aboutToHide, this, [this, menu] {
        if (!menu->property(HoldsRebuilds).toBool())
            return;
        menu->setProperty(HoldsRebuilds, false);
        QMetaObject::invokeMethod(this, &HistoryPage::releaseRebuilds, Qt::QueuedConnection);
    });

    layout->addWidget(button, 0, Qt::AlignCenter);
    return cell;
}

void HistoryPage::setRowMenuTexts(QToolButton *button)
{
    button->setAccessibleName(tr("更多操作"));
    const QList<QAction *> entries = button->menu()->actions();
    entries.at(PlayEntry)->setText(tr("播放"));
    entries.at(LocateEntry)->setText(tr("打开位置"));
    entries.at(TrimEntry)->setText(tr("剪辑…"));
    entries.at(CopyEntry)->setText(tr("复制文件"));
    entries.at(DeleteEntry)->setText(tr("删除"));
    entries.at(DeleteAllEntry)->setText(tr("删除所有"));
}

QToolButton *HistoryPage::rowMenuButton(int row) const
{
    const QWidget *cell = ui->recordingsTable->cellWidget(row, ActionColumn);
    return cell != nullptr ? cell->findChild<QToolButton *>() : nullptr;
}

QString HistoryPage::recordingPathOfRow(int row) const
{
    const QTableWidgetItem *name = ui->recordingsTable->item(row, NameColumn);
    return name != nullptr ? name->data(PathRole).toString() : QString();
}

// The row's own menu, opened without a loop of its own, so nothing of the
// row is on the stack while it is shown.
void HistoryPage::popUpRowMenu(int row, const QPoint &globalPos)
{
    if (QToolButton *button = rowMenuButton(row))
        button->menu()->popup(globalPos);
}

void HistoryPage::connectRowMenuTriggers()
{
    QTableWidget *table = ui->recordingsTable;
    table->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(table, &QWidget::customContextMenuRequested, this, [this, table](const QPoint &pos) {
        const int row = table->rowAt(pos.y());
        if (row < 0)
            return;
        table->selectRow(row);
        popUpRowMenu(row, table->viewport()->mapToGlobal(pos));
    });

    auto *menuKeys = new QAction(table);
    menuKeys->setShortcuts({QKeySequence(Qt::Key_Menu), QKeySequence(Qt::SHIFT | Qt::Key_F10)});
    menuKeys->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    table->addAction(menuKeys);
    connect(menuKeys, &QAction::triggered, this, [this, table] {
        const int row = table->currentRow();
        if (row < 0)
            return;
        table->scrollToItem(table->item(row, NameColumn));
        if (const QToolButton *button = rowMenuButton(row))
            popUpRowMenu(row, button->mapToGlobal(QPoint(0, button->height())));
    });

    auto *deleteKey = new QAction(table);
    deleteKey->setShortcut(QKeySequence::Delete);
    deleteKey->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    table->addAction(deleteKey);
    connect(
        deleteKey, &QAction::triggered, this,
        [this, table] {
            const QString path = recordingPathOfRow(table->currentRow());
            if (!path.isEmpty())
                deleteRecording(path);
        },
        Qt::QueuedConnection);

    connect(table, &QTableWidget::cellDoubleClicked, this, [this](int row) {
        const QString path = recordingPathOfRow(row);
        if (!path.isEmpty())
            playRecording(path);
    });
}
