#include "support/popupmenu.h"

#include <QApplication>
#include <QMenu>
#include <QTest>
#include <QTimer>

namespace vexlo::test {

void onNextMenu(const std::function<void(QMenu *)> &act)
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

} // namespace vexlo::test
