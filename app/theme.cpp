// The two application-wide style sheets and the header's theme button.
#include "app/mainwindow.h"

#include "app/settingsstore.h"
#include "ui_mainwindow.h"

#include <QApplication>
#include <QFile>
#include <QStyle>

namespace {

QString styleSheetPath(bool dark)
{
    return dark ? QStringLiteral(":/qss/dark.css") : QStringLiteral(":/qss/default.css");
}

} // namespace

void MainWindow::applyTheme(bool dark)
{
    // The choice is stored even when its sheet cannot be read.
    openSettingsStore()->setValue(QStringLiteral("theme"),
                                  dark ? QStringLiteral("dark") : QStringLiteral("light"));

    QFile file(styleSheetPath(dark));
    if (!file.open(QIODevice::ReadOnly)) {
        qWarning().noquote() << "Failed to load stylesheet:" << file.fileName();
        return;
    }
    qApp->setStyleSheet(QString::fromLatin1(file.readAll()));
    file.close();

    ui->pushButton_toggle->setIcon(QIcon(dark ? QStringLiteral(":/images/sun.svg")
                                              : QStringLiteral(":/images/moon.svg")));

    QCoreApplication::processEvents();
    style()->unpolish(this);
    style()->polish(this);
    update();
}

void MainWindow::onToggleTheme()
{
    isDarkTheme = !isDarkTheme;
    applyTheme(isDarkTheme);
    saveSettings();
}
