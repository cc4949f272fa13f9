#include "support/modalanswerer.h"

#include <QAbstractButton>
#include <QApplication>

namespace vexlo::test {

ModalAnswerer::ModalAnswerer(QMessageBox::StandardButton answer, QObject *parent)
    : QObject(parent)
    , answer(answer)
{
    timer.setInterval(20);
    connect(&timer, &QTimer::timeout, this, &ModalAnswerer::poll);
    timer.start();
}

void ModalAnswerer::poll()
{
    auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
    if (box == nullptr || !box->isVisible() || box->property("vexloAnswered").toBool())
        return;
    box->setProperty("vexloAnswered", true);
    QStringList buttonTexts;
    for (const QAbstractButton *shown : box->buttons())
        buttonTexts << shown->text();
    seen.append({box->icon(), box->windowTitle(), box->text(), buttonTexts});
    QAbstractButton *button = box->button(answer);
    if (button == nullptr)
        button = box->buttons().value(0);
    if (button != nullptr)
        button->click();
}

} // namespace vexlo::test
