#pragma once

#include <QObject>
#include <QStringList>

class QListWidget;
class QMimeData;

// The converter's list of inputs as a user shapes it: media files dropped
// from a file manager, the Delete key and the "移除" context entry for the
// selected rows, and never the same file twice.
class InputList : public QObject
{
    Q_OBJECT

public:
    explicit InputList(QListWidget *list);

    // Appends the paths that are not listed yet, in order.
    void addFiles(const QStringList &paths);

signals:
    // Rows were added or removed.
    void changed();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void removeSelected();
    void showMenu(const QPoint &position);

    // The local media files a drop carries; folders and other files are left out.
    static QStringList droppedMedia(const QMimeData *data);

    QListWidget *list;
};
