#pragma once

#include <QDialog>

namespace Ui {
class AboutDialog;
}

// Product name, version, description, contact lines, two links, the licence
// and the libraries used with theirs, and the toolkit's own about box; built
// for one showing.
class AboutDialog : public QDialog
{
    Q_OBJECT

public:
    explicit AboutDialog(QWidget *parent = nullptr);
    ~AboutDialog() override;

private:
    Ui::AboutDialog *ui;
};
