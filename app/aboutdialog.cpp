#include "app/aboutdialog.h"

#include "app/identity.h"

#include "ui_aboutdialog.h"

#include <QMessageBox>
#include <QPushButton>

namespace {
const char *const LicenseUrl = "https://www.gnu.org/licenses/gpl-3.0.html";
} // namespace

AboutDialog::AboutDialog(QWidget *parent)
    : QDialog(parent)
    , ui(new Ui::AboutDialog)
{
    ui->setupUi(this);
    ui->versionLabel->setText(tr("<b>版本:</b> %1").arg(vexlo::applicationVersion()));
    ui->licenseLabel->setText(QStringLiteral("<a href=\"%1\">%2</a>")
                                  .arg(QLatin1String(LicenseUrl),
                                       tr("许可证：GNU GPL 3.0 或更高版本").toHtmlEscaped()));
    connect(ui->aboutQtButton, &QPushButton::clicked, this,
            [this] { QMessageBox::aboutQt(this); });
}

AboutDialog::~AboutDialog()
{
    delete ui;
}
