// The frameless window's own behaviour: the header buttons, its size and
// native events.
#include "app/mainwindow.h"

#include "core/settingsstore.h"
#include "platform/nativeevents.h"
#include "ui_mainwindow.h"

#include <QApplication>
#include <QMessageBox>
#include <QScreen>

void MainWindow::on_pushButton_min_clicked()
{
    showMinimized();
}

void MainWindow::on_pushButton_close_clicked()
{
    const auto answer = QMessageBox::question(this, tr("退出确认"), tr("确定要退出程序吗？"),
                                              QMessageBox::Yes | QMessageBox::No,
                                              QMessageBox::NoButton);
    if (answer == QMessageBox::Yes)
        QApplication::quit();
}

bool MainWindow::nativeEvent(const QByteArray &eventType, void *message, qintptr *result)
{
    // Paint requests are never claimed; the toolkit repaints on its own.
    if (platform::isExposeEvent(eventType, message))
        return false;
    return QMainWindow::nativeEvent(eventType, message, result);
}

namespace {

const QString SizeKey = QStringLiteral("windowSize");
const QSize DefaultSize(960, 640);

} // namespace

// The stored size, or the default one, made to fit the screen's available
// area: a window larger than the area is shrunk to it and centred, so no
// control lies out of reach. The smallest size is the layout's, which keeps
// every control whole in the language in force.
void MainWindow::applyStartSize()
{
    const QRect available = screen()->availableGeometry();
    const QSize stored = openSettingsStore()->value(SizeKey).toSize();
    const QSize wanted = (stored.isValid() ? stored : DefaultSize).expandedTo(minimumSizeHint());
    const QSize fitting = wanted.boundedTo(available.size());
    resize(fitting);
    if (fitting != wanted) {
        QRect placed(QPoint(), fitting);
        placed.moveCenter(available.center());
        move(placed.topLeft());
    }
}

void MainWindow::storeWindowSize()
{
    openSettingsStore()->setValue(SizeKey, size());
}
