#pragma once

// Key combinations that act from any application: passive grabs on the root
// window, held by a connection of the layer's own so the toolkit's windows
// and event selection are left alone. GUI thread only.

#include <QKeySequence>
#include <QList>
#include <QObject>

#include <memory>

namespace platform {

enum class GrabResult {
    Grabbed,
    Taken,       // another program holds the combination
    Unsupported, // no X server, or a key without a key code on this keyboard
};

class GlobalKeys : public QObject
{
    Q_OBJECT

public:
    explicit GlobalKeys(QObject *parent = nullptr);
    // Releases every grab.
    ~GlobalKeys() override;

    bool isAvailable() const;

    // Grabs the first combination of `keys`, with and without NumLock and
    // CapsLock, and reports it as `id` when pressed. Nothing stays grabbed
    // for a combination that is not wholly grabbed.
    GrabResult grab(int id, const QKeySequence &keys);
    void releaseAll();

signals:
    void activated(int id);

private:
    struct Grab
    {
        int id = 0;
        quint8 keycode = 0;
        quint16 modifiers = 0;
    };
    struct Connection;

    void dispatchEvents();
    void ungrab(const Grab &grab);
    QList<quint16> lockVariants(quint16 modifiers) const;

    std::unique_ptr<Connection> x;
    QList<Grab> grabs;
};

} // namespace platform
