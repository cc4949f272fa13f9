#include "testportal.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDebug>

#include <cstdlib>

namespace vexlo::test {

namespace {

const QString BackendName = QStringLiteral("org.freedesktop.impl.portal.desktop.vexlotest");
// Restarting the frontend and renegotiating take a while on a loaded machine.
constexpr int CallTimeoutMs = 60000;

// Mean grey of an area; callers read the middle of a square, away from the
// edges an encoder smears into the background.
int meanLuma(const QImage &frame, QRect area)
{
    long long sum = 0;
    int count = 0;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            sum += qGray(frame.pixel(x, y));
            ++count;
        }
    }
    return count > 0 ? int(sum / count) : -1;
}

} // namespace

bool TestPortal::running()
{
    if (qEnvironmentVariableIsEmpty("VEXLO_TEST_PORTAL"))
        return false;
    QDBusConnectionInterface *bus = QDBusConnection::sessionBus().interface();
    return bus != nullptr && bus->isServiceRegistered(BackendName).value()
           && bus->isServiceRegistered(QStringLiteral("org.freedesktop.portal.Desktop")).value();
}

bool TestPortal::call(const QString &method, const QVariantList &arguments, QVariant *answer)
{
    QDBusMessage message = QDBusMessage::createMethodCall(BackendName, QStringLiteral("/example/vexlo/TestPortal"),
                                                          QStringLiteral("example.vexlo.TestPortal"), method);
    message.setArguments(arguments);
    const QDBusMessage reply = QDBusConnection::sessionBus().call(message, QDBus::Block, CallTimeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage) {
        error = QStringLiteral("%1: %2 %3").arg(method, reply.errorName(), reply.errorMessage());
        qWarning().noquote() << "test portal:" << error;
        return false;
    }
    if (answer != nullptr)
        *answer = reply.arguments().value(0);
    return true;
}

bool TestPortal::setStreamSize(QSize size)
{
    return call(QStringLiteral("SetStreamSize"), {size.width(), size.height()});
}

bool TestPortal::setMonitor(uint monitor)
{
    return call(QStringLiteral("SetMonitor"), {monitor});
}

bool TestPortal::setLogicalSize(QSize size)
{
    return call(QStringLiteral("SetLogicalSize"), {qMax(0, size.width()), qMax(0, size.height())});
}

bool TestPortal::setFrameRate(int fps)
{
    return call(QStringLiteral("SetFrameRate"), {fps});
}

bool TestPortal::setNextResponse(uint response)
{
    return call(QStringLiteral("SetNextResponse"), {response});
}

bool TestPortal::setSourceTypes(uint types)
{
    return call(QStringLiteral("SetSourceTypes"), {types});
}

bool TestPortal::setCursorModes(uint modes)
{
    return call(QStringLiteral("SetCursorModes"), {modes});
}

bool TestPortal::setPointer(QPoint position)
{
    return call(QStringLiteral("SetPointer"), {position.x(), position.y()});
}

bool TestPortal::setMovingCrop(bool on)
{
    return call(QStringLiteral("SetMovingCrop"), {on});
}

bool TestPortal::endStream()
{
    return call(QStringLiteral("EndStream"), {});
}

int TestPortal::dialogCount()
{
    QVariant answer;
    return call(QStringLiteral("DialogCount"), {}, &answer) ? int(answer.toUInt()) : -1;
}

QVariantMap TestPortal::lastSelectOptions()
{
    QVariant answer;
    if (!call(QStringLiteral("LastSelectOptions"), {}, &answer))
        return {};
    return qdbus_cast<QVariantMap>(answer);
}

int TestPortal::activeStreams()
{
    QVariant answer;
    return call(QStringLiteral("ActiveStreams"), {}, &answer) ? int(answer.toUInt()) : -1;
}

int TestPortal::openSessions()
{
    QVariant answer;
    return call(QStringLiteral("OpenSessions"), {}, &answer) ? int(answer.toUInt()) : -1;
}

int TestPortal::closedRequests()
{
    QVariant answer;
    return call(QStringLiteral("ClosedRequests"), {}, &answer) ? int(answer.toUInt()) : -1;
}

int TestPortal::activateShortcut(const QString &id)
{
    QVariant answer;
    return call(QStringLiteral("ActivateShortcut"), {id}, &answer) ? int(answer.toUInt()) : -1;
}

QStringList TestPortal::boundShortcuts()
{
    QVariant answer;
    return call(QStringLiteral("BoundShortcuts"), {}, &answer) ? answer.toStringList() : QStringList();
}

int frameNumberAt(const QImage &frame, QPoint cellOrigin)
{
    using namespace vexlo::testportal;
    const int margin = BitSize / 4;
    int number = 0;
    for (int bit = 0; bit < FrameNumberBits; ++bit) {
        const QRect square(cellOrigin.x() + bit * BitSize + margin, cellOrigin.y() + margin,
                           BitSize - 2 * margin, BitSize - 2 * margin);
        if (!frame.rect().contains(square))
            return -1;
        const int luma = meanLuma(frame, square);
        if (luma > 200)
            number = number << 1 | 1;
        else if (luma < 55)
            number = number << 1;
        else
            return -1;
    }
    return number;
}

int paletteIndexOf(QRgb colour)
{
    using namespace vexlo::testportal;
    for (int index = 0; index < PaletteSize; ++index) {
        const QRgb entry = Palette[index];
        if (std::abs(qRed(colour) - qRed(entry)) < 64 && std::abs(qGreen(colour) - qGreen(entry)) < 64
            && std::abs(qBlue(colour) - qBlue(entry)) < 64)
            return index;
    }
    return -1;
}

QRgb paletteColourOf(QRgb colour)
{
    const int index = paletteIndexOf(colour);
    return index < 0 ? 0 : (0xff000000u | vexlo::testportal::Palette[index]);
}

} // namespace vexlo::test
