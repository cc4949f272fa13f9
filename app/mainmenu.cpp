// The header's pop-up menu: the interface language and the about dialog.
#include "app/mainwindow.h"

#include "app/aboutdialog.h"
#include "app/languageswitcher.h"
#include "ui_mainwindow.h"

#include <QCoreApplication>
#include <QMenu>

namespace {

// Colours come from the theme's sheet, so text and highlight agree in both.
const char *const MenuStyleSheet = "QMenu::item { padding: 5px 20px; }";

} // namespace

void MainWindow::onMenuButtonClicked()
{
    QMenu menu(this);
    menu.setStyleSheet(QLatin1String(MenuStyleSheet));
    // The language names read the same in every language.
    menu.addAction(QIcon(QStringLiteral(":/images/lang-china.svg")), tr("简体中文"), this,
                   [this] { switchLanguage(QStringLiteral("zh_CN")); });
    menu.addAction(QIcon(QStringLiteral(":/images/lang-taiwan.svg")), tr("繁體中文"), this,
                   [this] { switchLanguage(QStringLiteral("zh_TW")); });
    menu.addAction(QIcon(QStringLiteral(":/images/lang-usa.svg")), tr("English"), this,
                   [this] { switchLanguage(QStringLiteral("en_US")); });
    menu.addSeparator();
    menu.addAction(QIcon(QStringLiteral(":/images/lang-about.svg")), tr("关于我们"), this,
                   &MainWindow::showAboutDialog);

    const int below = ui->pushButton_nav->height() + 10;
    menu.exec(ui->pushButton_nav->mapToGlobal(QPoint(0, below)));
}

void MainWindow::switchLanguage(const QString &code)
{
    // Sent now, so the window speaks the new language as the menu closes.
    if (languages->switchTo(code)) {
        QEvent change(QEvent::LanguageChange);
        QCoreApplication::sendEvent(this, &change);
    }
}

void MainWindow::showAboutDialog()
{
    AboutDialog dialog(this);
    dialog.exec();
}
