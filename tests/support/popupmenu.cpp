#include "support/popupmenu.h"

#include <QApplication>
#include <QMenu>
#include <QPointer>
#include <QTest>
#include <QTimer>

namespace vexlo::test {

QObject *onNextMenu(const std::function<void(QMenu *)> &act)
{
    auto *timer = new QTimer(qApp);
    timer->setInterval(20);
    QObject::connect(timer, &QTimer::timeout, qApp, [timer, act] {
        auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
        if (menu == nullptr || !menu->isVisible())
            return;
        timer->stop();
        timer->deleteLater();
        act(menu);
    });
    timer->start();
    return timer;
}

void pickEntry(QMenu *menu, const QString &text)
{
    for (QAction *action : menu->actions()) {
        if (action->text() == text) {
            menu->setActiveAction(action);
            QTest::keyClick(menu, Qt::Key_Return);
            return;
        }
    }
    qWarning("no menu entry %s", qPrintable(text));
    menu->close();
}

bool clickMenuEntry(QMenu *menu, const QString &text)
{
    for (QAction *action : menu->actions()) {
        if (action->text() == text && action->isVisible()) {
            const QPoint centre = menu->actionGeometry(action).center();
            const QPointer<QMenu> alive(menu);
            QTest::mouseMove(menu, centre);
            QTest::mouseClick(menu, Qt::LeftButton, {}, centre);
            if (alive.isNull())
                qWarning("the menu was destroyed by its own entry '%s'", qPrintable(text));
            return !alive.isNull();
        }
    }
    qWarning("no menu entry %s", qPrintable(text));
    menu->close();
    return false;
}

QStringList menuEntryTexts(const QMenu *menu)
{
    QStringList texts;
    for (const QAction *action : menu->actions())
        texts.append(action->isSeparator() ? QStringLiteral("-") : action->text());
    return texts;
}

} // namespace vexlo::test
