#pragma once

#include <QApplication>
#include <QList>
#include <QString>
#include <QTemporaryDir>
#include <QtTest>

class ScreenRecorder;

namespace vexlo::test {

// Points HOME and the XDG folders at a fresh temporary folder for the whole
// test program, so no test reads or writes the real user's settings or files.
// The runtime folder is private too, so a started program never meets a
// real Vexlo (or another test's) as its running instance, and the session
// is an X11 one whatever the desktop running the tests is, and the
// desktop's language is simplified Chinese.
class IsolatedHome
{
public:
    IsolatedHome();
    QString path() const { return dir.path(); }

private:
    QTemporaryDir dir;
};

// Collects every message that reaches the toolkit's log while alive.
class LogCapture
{
public:
    struct Line
    {
        QtMsgType type;
        QString category;
        QString text;
    };

    LogCapture();
    ~LogCapture();
    LogCapture(const LogCapture &) = delete;
    LogCapture &operator=(const LogCapture &) = delete;

    QList<Line> lines() const;
    bool contains(QtMsgType type, const QString &text) const;

private:
    static void handler(QtMsgType type, const QMessageLogContext &context, const QString &text);
    QtMessageHandler previous;
};

// Makes a shown window the active one. The window manager may refuse a
// program's own request (focus stealing prevention), so it falls back to
// asking as a pager does, which is always honoured.
bool activate(QWidget *window);

// Waits while a stopped recording's file is being finished (the event loop
// runs meanwhile, so recordingFinished arrives); false on timeout.
bool waitUntilFinished(ScreenRecorder &recorder, int timeoutMs = 120000);

// stopRecording(), then waitUntilFinished(): the file is complete.
bool stopAndWait(ScreenRecorder &recorder);

// FFmpeg prints only errors, as in the program.
void quietFfmpeg();

// Path of the freshly built program, for tests that run it as a user would.
inline QString vexloBinary()
{
    return QStringLiteral(VEXLO_BINARY);
}

// The source tree, for tests that read its files (translation sources).
inline QString sourceDir()
{
    return QStringLiteral(VEXLO_SOURCE_DIR);
}

// Build-time data of the tests (generated resource trees and the like).
inline QString testDataDir()
{
    return QStringLiteral(VEXLO_TEST_DATA_DIR);
}

} // namespace vexlo::test

#define VEXLO_TEST_MAIN(TestObject)                        \
    int main(int argc, char *argv[])                       \
    {                                                      \
        vexlo::test::IsolatedHome home;                    \
        vexlo::test::quietFfmpeg();                        \
        QApplication app(argc, argv);                      \
        TestObject testObject;                             \
        QTEST_SET_MAIN_SOURCE_PATH                         \
        return QTest::qExec(&testObject, argc, argv);      \
    }
