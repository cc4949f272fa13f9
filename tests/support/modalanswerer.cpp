#include "support/modalanswerer.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>

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
    // As a user would, answer a box only once it is on screen with the focus.
    // Closed before that, it leaves the toolkit believing a hidden window has
    // the focus: the focus-in of the window below went to the box's
    // activation, which never happened.
    if (!box->isActiveWindow())
        return;
    box->setProperty("vexloAnswered", true);
    QStringList buttonTexts;
    for (const QAbstractButton *shown : box->buttons())
        buttonTexts << shown->text();
    QCheckBox *check = box->checkBox();
    seen.append({box->icon(), box->windowTitle(), box->text(), buttonTexts,
                 check != nullptr ? check->text() : QString(), box->detailedText(),
                 box->frameGeometry().height()});
    if (inspect)
        inspect(box);
    if (check != nullptr && tickCheckBox)
        check->setChecked(true);
    QAbstractButton *button = nullptr;
    for (QAbstractButton *shown : box->buttons()) {
        if (!answerText.isEmpty() && shown->text() == answerText)
            button = shown;
    }
    if (button == nullptr)
        button = box->button(answer);
    if (button == nullptr)
        button = box->buttons().value(0);
    if (button != nullptr)
        button->click();
}

} // namespace vexlo::test
