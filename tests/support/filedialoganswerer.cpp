#include "support/filedialoganswerer.h"

#include "support/testsupport.h"

#include <QApplication>
#include <QFileDialog>
#include <QLineEdit>
#include <QtTest>

namespace vexlo::test {

FileDialogAnswerer::FileDialogAnswerer(const QString &typed, QObject *parent)
    : QObject(parent)
    , typed(typed)
{
    timer.setInterval(50);
    connect(&timer, &QTimer::timeout, this, &FileDialogAnswerer::poll);
    timer.start();
}

void FileDialogAnswerer::poll()
{
    auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
    if (done || dialog == nullptr || !dialog->isVisible())
        return;
    done = true;
    timer.stop();
    seenTitle = dialog->windowTitle();
    seenDirectory = dialog->directory().absolutePath();
    seenFilters = dialog->nameFilters();

    // Answered once it has the focus, as by a user: closed before the window
    // manager has shown it, it leaves the toolkit's focus on a hidden window.
    activate(dialog);
    auto *nameField = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
    if (typed.isNull() || nameField == nullptr) {
        QTest::keyClick(dialog, Qt::Key_Escape);
        return;
    }
    // The dialog matches typed names against its list only while the field
    // has the focus, as it has for a user typing there.
    nameField->setFocus();
    if (!QTest::qWaitFor([nameField] { return nameField->hasFocus(); }, 5000))
        qWarning("The file dialog's name field did not get the focus");
    nameField->clear();
    QTest::keyClicks(nameField, typed);
    QTest::keyClick(nameField, Qt::Key_Return);
}

} // namespace vexlo::test
