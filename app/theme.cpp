// The two application-wide style sheets and the header's theme button.
#include "app/mainwindow.h"

#include "app/pages/settingspage.h"
#include "core/settingsstore.h"
#include "ui_mainwindow.h"

#include <QApplication>
#include <QFile>
#include <QPalette>
#include <QStyle>

namespace {

QString styleSheetPath(bool dark)
{
    return dark ? QStringLiteral(":/qss/dark.css") : QStringLiteral(":/qss/default.css");
}

// The dark theme's own drawing of an icon, where it has one.
QString themedImage(bool dark, const QString &name)
{
    const QString darkPath = QStringLiteral(":/images/dark/") + name;
    return dark && QFile::exists(darkPath) ? darkPath : QStringLiteral(":/images/") + name;
}

// The header's and the navigation column's plain icons are drawn dark on
// light; the dark theme swaps in light drawings. Checked states stay green.
void applyThemeIcons(Ui::MainWindow *ui, bool dark)
{
    const std::pair<QPushButton *, const char *> headerIcons[] = {
        {ui->pushButton_nav, "menu.svg"},
        {ui->pushButton_min, "min.svg"},
        {ui->pushButton_close, "close.svg"},
    };
    for (const auto &[button, name] : headerIcons)
        button->setIcon(QIcon(themedImage(dark, QLatin1String(name))));

    const std::pair<QToolButton *, const char *> navigationIcons[] = {
        {ui->recordButton, "nav-recorder"},
        {ui->historyButton, "nav-history"},
        {ui->converterButton, "nav-format"},
        {ui->menuButton, "nav-more"},
    };
    for (const auto &[button, name] : navigationIcons) {
        const QString base = QLatin1String(name);
        const QString checked = QStringLiteral(":/images/") + base + QStringLiteral("-hover.svg");
        QIcon icon;
        icon.addFile(themedImage(dark, base + QStringLiteral(".svg")), QSize(), QIcon::Normal, QIcon::Off);
        icon.addFile(checked, QSize(), QIcon::Normal, QIcon::On);
        if (button == ui->recordButton)
            icon.addFile(checked, QSize(), QIcon::Selected, QIcon::On);
        button->setIcon(icon);
    }
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
    // Style sheets cannot colour links in rich text; the palette can.
    QPalette palette = QApplication::palette();
    palette.setColor(QPalette::Link, dark ? QColor(0x6c, 0xb6, 0xff)
                                          : style()->standardPalette().color(QPalette::Link));
    QApplication::setPalette(palette);

    ui->pushButton_toggle->setIcon(QIcon(dark ? QStringLiteral(":/images/sun.svg")
                                              : QStringLiteral(":/images/moon.svg")));
    applyThemeIcons(ui, dark);

    QCoreApplication::processEvents();
    style()->unpolish(this);
    style()->polish(this);
    update();
}

void MainWindow::onToggleTheme()
{
    isDarkTheme = !isDarkTheme;
    applyTheme(isDarkTheme);
    settingsPage->save();
}
