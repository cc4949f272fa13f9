#include "app/sessionnotice.h"

#include "core/settingsstore.h"
#include "capture/capturebackend.h"
#include "capture/portalsession.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QMessageBox>

namespace vexlo {

namespace {
const QString DismissedKey = QStringLiteral("waylandNoticeDismissed");
// Start-up waits this long at most for the portal to say what it offers.
constexpr int PortalAnswerMs = 2000;

QString text(const char *source)
{
    return QCoreApplication::translate("SessionNotice", source);
}

// What still differs from an X11 session.
QString differences()
{
    if (capture::chosenBackend() == capture::Backend::X11)
        return text(QT_TRANSLATE_NOOP(
            "SessionNotice",
            "当前桌面是 Wayland 会话。Vexlo 通过 X11 兼容服务运行，只能看到 X11 "
            "程序的窗口：全屏和区域录制中，这些窗口以外的部分都是黑色，窗口录制也只能"
            "选择 X11 程序的窗口。\n要录制整个桌面，请注销后选择 X11（Xorg）会话登录。"));
    QStringList lines;
    // Wayland tells no program about another's clicks.
    lines << text(QT_TRANSLATE_NOOP("SessionNotice", "• 无法高亮鼠标点击。"));
    const int types = capture::PortalSession::sourceTypes(PortalAnswerMs);
    if (types < 0 || (types & capture::PortalSession::WindowSource) == 0)
        lines << text(QT_TRANSLATE_NOOP(
            "SessionNotice", "• 桌面不提供窗口共享：窗口录制只能选择 X11 程序的窗口。"));
    return text(QT_TRANSLATE_NOOP("SessionNotice",
                                  "当前桌面是 Wayland 会话，录制通过桌面的屏幕共享进行。"
                                  "与 X11 会话相比，仍有以下不同："))
           + QLatin1Char('\n') + lines.join(QLatin1Char('\n'));
}
} // namespace

void showSessionNotice(QWidget *parent)
{
    if (!capture::isWaylandSession() || openSettingsStore()->value(DismissedKey, false).toBool())
        return;
    QMessageBox box(QMessageBox::Warning, text(QT_TRANSLATE_NOOP("SessionNotice", "Wayland 会话")),
                    differences(), QMessageBox::Ok, parent);
    box.setCheckBox(new QCheckBox(text(QT_TRANSLATE_NOOP("SessionNotice", "不再显示")), &box));
    box.exec();
    if (box.checkBox()->isChecked())
        openSettingsStore()->setValue(DismissedKey, true);
}

} // namespace vexlo
