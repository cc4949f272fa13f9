#include "app/aboutdialog.h"

#include "app/identity.h"

#include "ui_aboutdialog.h"

AboutDialog::AboutDialog(QWidget *parent)
    : QDialog(parent)
    , ui(new Ui::AboutDialog)
{
    ui->setupUi(this);
    ui->versionLabel->setText(tr("<b>版本:</b> %1").arg(vexlo::applicationVersion()));
}

AboutDialog::~AboutDialog()
{
    delete ui;
}
