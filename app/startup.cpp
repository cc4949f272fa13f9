#include "app/startup.h"

#include "app/sessionnotice.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QTimer>
#include <QWindow>
#include <QWidget>
#include <QtDebug>

#include <cstdlib>
#include <exception>
#include <functional>

extern "C" {
#include <libavutil/log.h>
}

namespace vexlo {

namespace {

// Runs a function from the event loop once a shown window is on screen, so
// that a box it opens is placed over the window where the window manager put it.
class OnFirstExpose : public QObject
{
public:
    OnFirstExpose(QWindow *window, std::function<void()> function)
        : QObject(window)
        , function(std::move(function))
    {
        window->installEventFilter(this);
    }

    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Expose && static_cast<QWindow *>(watched)->isExposed()) {
            watched->removeEventFilter(this);
            QTimer::singleShot(0, parent(), function);
            deleteLater();
        }
        return false;
    }

private:
    std::function<void()> function;
};

} // namespace

bool loadStyleSheet(QApplication &application)
{
    if (!QFile::exists(QStringLiteral(":/"))) {
        qCritical().noquote() << QStringLiteral("资源系统未初始化！");
        return false;
    }

    QFile file(QStringLiteral(":/qss/default.css"));
    if (!file.open(QIODevice::ReadOnly)) {
        qCritical().noquote() << QStringLiteral("无法打开样式表:") << file.errorString();
        qCritical().noquote() << QStringLiteral("当前工作目录:") << QDir::currentPath();
        return false;
    }
    const QString styleSheet = QString::fromUtf8(file.readAll());
    file.close();

    if (styleSheet.isEmpty()) {
        qWarning().noquote() << QStringLiteral("样式表为空！");
        return false;
    }
    application.setStyleSheet(styleSheet);
    return true;
}

void onFatalTerminate()
{
    qCritical().noquote() << QStringLiteral("调用了终止函数！");
    QMessageBox::critical(nullptr, QStringLiteral("致命错误"),
                          QStringLiteral("发生了未处理的异常，应用程序将退出。"), QMessageBox::Ok);
    std::abort();
}

int runGuarded(QApplication &application, const WindowFactory &makeWindow,
               const std::function<bool()> &quitRequested,
               const std::function<void(QWidget *)> &showWindow)
{
    try {
        av_log_set_level(AV_LOG_ERROR);

        if (!loadStyleSheet(application)) {
            QMessageBox::warning(nullptr, QStringLiteral("警告"),
                                 QStringLiteral("无法加载样式表，将使用默认外观。\n"
                                                "这可能会影响应用程序的外观，但功能不受影响。"),
                                 QMessageBox::Ok);
        }

        const std::unique_ptr<QWidget> window = makeWindow();
        if (quitRequested && quitRequested())
            return 0;
        if (showWindow)
            showWindow(window.get());
        else
            window->show();
        // A window kept hidden has no native window yet.
        window->winId();
        new OnFirstExpose(window->windowHandle(), [w = window.get()] { showSessionNotice(w); });
        return QApplication::exec();
    } catch (const std::exception &e) {
        const QString what = QString::fromLocal8Bit(e.what());
        qCritical().noquote() << QStringLiteral("main函数中发生异常:") << what;
        QMessageBox::critical(nullptr, QStringLiteral("致命错误"),
                              QStringLiteral("发生了意外错误:\n%1\n应用程序将退出。").arg(what),
                              QMessageBox::Ok);
        return -1;
    } catch (...) {
        qCritical().noquote() << QStringLiteral("main函数中发生未知异常！");
        QMessageBox::critical(nullptr, QStringLiteral("致命错误"),
                              QStringLiteral("发生了未知错误，应用程序将退出。"), QMessageBox::Ok);
        return -1;
    }
}

} // namespace vexlo
