#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>

namespace vexlo::test {

// Answers the next modal file dialog as a user would: types the given text
// into its file name field and presses Return, or presses Escape when the
// text is null. Records what the dialog showed. Works inside the nested
// event loop of the static QFileDialog functions.
class FileDialogAnswerer : public QObject
{
    Q_OBJECT

public:
    explicit FileDialogAnswerer(const QString &typed, QObject *parent = nullptr);

    bool answered() const { return done; }
    QString title() const { return seenTitle; }
    QString directory() const { return seenDirectory; }
    QStringList nameFilters() const { return seenFilters; }

private:
    void poll();

    QString typed;
    QTimer timer;
    bool done = false;
    QString seenTitle;
    QString seenDirectory;
    QStringList seenFilters;
};

} // namespace vexlo::test
