// The header's pop-up menu: the interface language and the about dialog.
#include "app/mainwindow.h"

#include "app/aboutdialog.h"
#include "ui_mainwindow.h"

#include <QMenu>

namespace {

// The menu is white in both themes; its text colour is its own so the dark
// theme's light text does not vanish on it.
const char *const MenuStyleSheet =
    "QMenu { background-color: white; border: 1px solid #ddd; color: #34495e; }"
    "QMenu::item { padding: 5px 20px; }"
    "QMenu::item:selected { background-color: #e6f2ff; }";

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

void MainWindow::showAboutDialog()
{
    AboutDialog dialog(this);
    dialog.exec();
}
