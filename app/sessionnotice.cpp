#include "app/sessionnotice.h"

#include "app/settingsstore.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QMessageBox>

namespace vexlo {

namespace {
const QString DismissedKey = QStringLiteral("waylandNoticeDismissed");

QString text(const char *source)
{
    return QCoreApplication::translate("SessionNotice", source);
}
} // namespace

bool isWaylandSession()
{
    const QString type = qEnvironmentVariable("XDG_SESSION_TYPE");
    if (!type.isEmpty())
        return type == QLatin1String("wayland");
    return !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
}

void showSessionNotice(QWidget *parent)
{
    if (!isWaylandSession() || openSettingsStore()->value(DismissedKey, false).toBool())
        return;
    QMessageBox box(QMessageBox::Warning, text(QT_TRANSLATE_NOOP("SessionNotice", "Wayland 会话")),
                    text(QT_TRANSLATE_NOOP(
                        "SessionNotice",
                        "当前桌面是 Wayland 会话。Vexlo 通过 X11 兼容服务运行，只能看到 X11 "
                        "程序的窗口：全屏和区域录制中，这些窗口以外的部分都是黑色，窗口录制也只能"
                        "选择 X11 程序的窗口。\n要录制整个桌面，请注销后选择 X11（Xorg）会话登录。")),
                    QMessageBox::Ok, parent);
    box.setCheckBox(new QCheckBox(text(QT_TRANSLATE_NOOP("SessionNotice", "不再显示")), &box));
    box.exec();
    if (box.checkBox()->isChecked())
        openSettingsStore()->setValue(DismissedKey, true);
}

} // namespace vexlo
