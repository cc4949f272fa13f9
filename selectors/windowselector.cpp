#include "selectors/windowselector.h"

#include "platform/windowlist.h"

#include <QCloseEvent>
#include <QGraphicsDropShadowEffect>
#include <QIcon>
#include <QKeyEvent>
#include <QListWidget>
#include <QMouseEvent>
#include <QPixmap>
#include <QTimer>
#include <QVBoxLayout>
#include <QWindow>

namespace {

constexpr int MinimumExtent = 100; // windows this narrow or short are not offered
constexpr qsizetype MaximumTitleLength = 255;

QString shortenedTitle(const QString &title)
{
    if (title.size() <= MaximumTitleLength)
        return title;
    // Never cut a surrogate pair in half.
    qsizetype length = MaximumTitleLength;
    if (title.at(length - 1).isHighSurrogate())
        --length;
    return title.left(length);
}

} // namespace

WindowSelector::WindowSelector(QWidget *parent)
    : QDialog(parent)
{
    setWindowTitle(tr("选择窗口"));
    setWindowFlags(windowFlags() | Qt::WindowStaysOnTopHint);
    resize(360, 420);

    auto *shadow = new QGraphicsDropShadowEffect(this);
    shadow->setBlurRadius(20);
    shadow->setColor(QColor(0, 0, 0, 100));
    shadow->setOffset(0, 0);
    setGraphicsEffect(shadow);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(15, 15, 15, 15);
    windowList = new QListWidget(this);
    windowList->setIconSize(QSize(32, 32));
    // Its colours are the theme's (#windowList in the style sheets).
    windowList->setObjectName(QStringLiteral("windowList"));
    layout->addWidget(windowList);
    connect(windowList, &QListWidget::itemDoubleClicked, this, &WindowSelector::onItemClicked);

    watchTimer = new QTimer(this);
    connect(watchTimer, &QTimer::timeout, this, &WindowSelector::updateWindowInfo);
    watchTimer->start(100);

    if (parent != nullptr)
        connect(parent, &QObject::destroyed, this, &QWidget::close);

    refreshWindowList();
}

WindowSelector::~WindowSelector()
{
    watchTimer->stop();
    delete watchTimer;
}

void WindowSelector::refreshWindowList()
{
    windowList->clear();
    for (const platform::WindowInfo &window : platform::visibleTopLevelWindows()) {
        const QString title = shortenedTitle(window.title);
        if (title.isEmpty() || title == QLatin1String("Program Manager")
            || window.rect.width() <= MinimumExtent || window.rect.height() <= MinimumExtent)
            continue;
        auto *item = new QListWidgetItem(title, windowList);
        item->setData(Qt::UserRole, QVariant::fromValue<qulonglong>(window.id));
        if (!window.icon.isNull())
            item->setData(Qt::DecorationRole, QIcon(QPixmap::fromImage(window.icon)));
    }
    if (windowList->count() == 0) {
        auto *placeholder = new QListWidgetItem(tr("未找到可用窗口"), windowList);
        placeholder->setFlags(placeholder->flags() & ~Qt::ItemIsEnabled);
    }
}

void WindowSelector::onItemClicked(QListWidgetItem *item)
{
    // The placeholder is told apart by its missing handle, not by its text:
    // a real window may carry any title.
    if (item == nullptr || !item->data(Qt::UserRole).isValid())
        return;
    selectedWindow = static_cast<WId>(item->data(Qt::UserRole).toULongLong());
    if (platform::isWindow(selectedWindow))
        selectedGeometry = platform::windowRect(selectedWindow);
    emit windowSelected(selectedWindow);
    accept();
}

void WindowSelector::onCancelClicked()
{
    emit selectionCancelled();
    reject();
}

void WindowSelector::updateWindowInfo()
{
    if (selectedWindow == 0)
        return;
    const QRect geometry = platform::isWindowVisible(selectedWindow)
                               ? platform::windowRect(selectedWindow)
                               : QRect();
    // Gone, unmapped or unreadable: the watch ends for good.
    if (geometry.isNull()) {
        watchTimer->stop();
        return;
    }
    if (geometry != selectedGeometry) {
        selectedGeometry = geometry;
        emit windowGeometryChanged(geometry);
    }
}

void WindowSelector::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape) {
        onCancelClicked();
        return;
    }
    QDialog::keyPressEvent(event);
}

void WindowSelector::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton) {
        QDialog::mousePressEvent(event);
        return;
    }
    // Measured from the client area, which the toolkit always knows; its idea
    // of the window manager's frame can lag behind and make the dialog jump.
    dragOffset = event->globalPosition().toPoint() - geometry().topLeft();
    event->accept();
}

void WindowSelector::mouseMoveEvent(QMouseEvent *event)
{
    if (!(event->buttons() & Qt::LeftButton)) {
        QDialog::mouseMoveEvent(event);
        return;
    }
    windowHandle()->setPosition(event->globalPosition().toPoint() - dragOffset);
    event->accept();
}

void WindowSelector::closeEvent(QCloseEvent *event)
{
    watchTimer->stop();
    QDialog::closeEvent(event);
}
