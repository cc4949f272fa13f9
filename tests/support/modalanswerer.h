#pragma once

#include <QList>
#include <QMessageBox>
#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>

namespace vexlo::test {

// Answers every modal message box that opens while it lives with one button,
// once the box has the focus, and records what each box said. Works inside
// nested event loops of exec().
class ModalAnswerer : public QObject
{
    Q_OBJECT

public:
    struct Box
    {
        QMessageBox::Icon icon;
        QString title;
        QString text;
        // Button texts as shown, in the box's order.
        QStringList buttons;
        // The text of the box's check box, empty when it has none.
        QString checkBoxText;
        QString detailedText;
        // The box's height on screen.
        int height = 0;
    };

    explicit ModalAnswerer(QMessageBox::StandardButton answer = QMessageBox::Ok,
                           QObject *parent = nullptr);

    void setAnswer(QMessageBox::StandardButton answer) { this->answer = answer; }
    // Presses the button showing this text instead, where a box has one.
    void setAnswerText(const QString &text) { answerText = text; }
    // Ticks a box's check box (such as "do not show again") before answering.
    void setTickCheckBox(bool tick) { tickCheckBox = tick; }
    // Looks at each box as it is shown, before it is answered.
    void setInspect(std::function<void(QMessageBox *)> inspect) { this->inspect = std::move(inspect); }
    const QList<Box> &boxes() const { return seen; }

private:
    void poll();

    QMessageBox::StandardButton answer;
    QString answerText;
    bool tickCheckBox = false;
    std::function<void(QMessageBox *)> inspect;
    QTimer timer;
    QList<Box> seen;
};

} // namespace vexlo::test
