#include "selectors/regionselector.h"

#include "capture/monitors.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QTimer>

#include <algorithm>
#include <exception>

namespace {

constexpr int MinimumExtent = 8; // right - left of a 9-pixel-wide rectangle
constexpr int ButtonMargin = 10;

// QRect::normalized() shifts the edges of a reversed rectangle by one pixel;
// a drag must give the same rectangle in either direction.
QRect spanned(QPoint a, QPoint b)
{
    return QRect(QPoint(std::min(a.x(), b.x()), std::min(a.y(), b.y())),
                 QPoint(std::max(a.x(), b.x()), std::max(a.y(), b.y())));
}

bool isLargeEnough(const QRect &rect)
{
    return !rect.isNull() && rect.right() - rect.left() > MinimumExtent
           && rect.bottom() - rect.top() > MinimumExtent;
}

} // namespace

RegionSelector::RegionSelector(QWidget *parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint)
{
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_DeleteOnClose);
    // One overlay over every monitor: a region may lie on any of them or
    // span two. It covers the X screen's pixels at the scale of the monitor
    // it starts on, which maps every pointer position, whatever monitor it
    // is on (see toDesktop()).
    QRect desktop = capture::recordedArea(capture::AllScreens);
    const qreal ratio = capture::pixelRatioAt(desktop.topLeft());
    desktop.setSize((QSizeF(desktop.size()) / ratio).toSize());
    setGeometry(desktop);

    buttonContainer = new QWidget(this);
    buttonContainer->setStyleSheet(QStringLiteral("background: rgba(255, 255, 255, 200); border-radius: 5px;"));
    buttonContainer->setFixedSize(200, 50);
    buttonContainer->hide();

    buttonLayout = new QHBoxLayout(buttonContainer);
    buttonLayout->setContentsMargins(10, 5, 10, 5);
    buttonLayout->setSpacing(10);

    confirmButton = new QPushButton(tr("确认"), buttonContainer);
    confirmButton->setStyleSheet(QStringLiteral(
        "QPushButton { background: #4CAF50; color: white; border: none; padding: 5px; border-radius: 3px; }"
        "QPushButton:hover { background: #45a049; }"));
    cancelButton = new QPushButton(tr("取消"), buttonContainer);
    cancelButton->setStyleSheet(QStringLiteral(
        "QPushButton { background: #f44336; color: white; border: none; padding: 5px; border-radius: 3px; }"
        "QPushButton:hover { background: #d32f2f; }"));
    buttonLayout->addWidget(confirmButton);
    buttonLayout->addWidget(cancelButton);
    connect(confirmButton, &QPushButton::clicked, this, &RegionSelector::onConfirmClicked);
    connect(cancelButton, &QPushButton::clicked, this, &RegionSelector::onCancelClicked);

    hintLabel = new QLabel(tr("拖动鼠标选择区域\n按ESC取消"), this);
    hintLabel->setAlignment(Qt::AlignCenter);
    hintLabel->setStyleSheet(QStringLiteral(
        "QLabel { color: white; background: rgba(0, 0, 0, 150); padding: 10px; border-radius: 5px; }"));
    hintLabel->setFixedSize(200, 60);
    // The hint sits in the middle of the primary monitor.
    const QScreen *primary = QGuiApplication::primaryScreen();
    const QRect middle = primary != nullptr ? primary->geometry() : desktop;
    hintLabel->move(middle.topLeft() - desktop.topLeft()
                    + QPoint((middle.width() - 200) / 2, (middle.height() - 60) / 2));

    positionTimer = new QTimer(this);
    connect(positionTimer, &QTimer::timeout, this, &RegionSelector::updateButtonPosition);
    positionTimer->start(100);

    if (parent != nullptr)
        connect(parent, &QObject::destroyed, this, &QWidget::close);
}

RegionSelector::~RegionSelector()
{
    positionTimer->stop();
}

void RegionSelector::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return;
    anchor = corner = event->position().toPoint();
    selecting = true;
    selectedRect = QRect();
    update();
    updateButtonPosition();
}

void RegionSelector::mouseMoveEvent(QMouseEvent *event)
{
    if (!selecting)
        return;
    corner = event->position().toPoint();
    update();
    updateButtonPosition();
}

void RegionSelector::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton || !selecting)
        return;
    corner = event->position().toPoint();
    // The pointer can leave the overlay while the button is held; only what
    // the overlay shows can be selected.
    selectedRect = spanned(anchor, corner).intersected(rect());
    if (!isLargeEnough(selectedRect))
        selectedRect = QRect();
    selecting = false;
    update();
    updateButtonPosition();
}

void RegionSelector::keyPressEvent(QKeyEvent *event)
{
    switch (event->key()) {
    case Qt::Key_Escape:
        selectedRect = QRect();
        finish(false);
        break;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        onConfirmClicked();
        break;
    default:
        break;
    }
    QWidget::keyPressEvent(event);
}

void RegionSelector::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    try {
        paintSelection(painter);
    } catch (const std::exception &) {
        qCritical().noquote() << QStringLiteral("绘制区域选择器时发生异常");
    }
}

void RegionSelector::paintSelection(QPainter &painter)
{
    painter.fillRect(rect(), QColor(0, 0, 0, 128));
    if (!selecting && selectedRect.isNull())
        return;
    const QRect shown =
        (selecting ? spanned(anchor, corner) : selectedRect).intersected(rect());
    if (shown.isEmpty())
        return;

    painter.setCompositionMode(QPainter::CompositionMode_Clear);
    painter.fillRect(shown, Qt::transparent);
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);

    painter.setPen(QPen(Qt::red, 2, Qt::DashLine, Qt::SquareCap, Qt::BevelJoin));
    painter.setBrush(Qt::NoBrush);
    painter.drawRects(&shown, 1);

    const QString size = QStringLiteral("%1 × %2").arg(shown.width()).arg(shown.height());
    QFont font = painter.font();
    font.setWeight(QFont::Bold);
    font.setPointSize(12);
    painter.setFont(font);
    QRect box = painter.fontMetrics().boundingRect(QRect(), Qt::AlignCenter, size);
    box.moveTopLeft(shown.topLeft() + QPoint(5, 5));
    painter.fillRect(box, QColor(0, 0, 0, 180));
    painter.setPen(Qt::white);
    painter.drawText(box, Qt::AlignCenter, size);
}

void RegionSelector::closeEvent(QCloseEvent *event)
{
    positionTimer->stop();
    QWidget::closeEvent(event);
}

void RegionSelector::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    // Escape and Return only reach the overlay when it holds the focus.
    activateWindow();
}

void RegionSelector::onConfirmClicked()
{
    finish(isLargeEnough(selectedRect));
}

void RegionSelector::onCancelClicked()
{
    selectedRect = QRect();
    finish(false);
}

void RegionSelector::updateButtonPosition()
{
    if (selectedRect.isNull()) {
        buttonContainer->hide();
        hintLabel->show();
        return;
    }
    // Clamping to the overlay keeps the buttons inside it.
    const int x = std::max(std::min((selectedRect.left() + selectedRect.right()) / 2
                                        - buttonContainer->width() / 2,
                                    width() - buttonContainer->width() - ButtonMargin),
                           ButtonMargin);
    const int y = std::min(std::max(selectedRect.bottom() + ButtonMargin, ButtonMargin),
                           height() - buttonContainer->height() - ButtonMargin);
    buttonContainer->move(x, y);
    buttonContainer->show();
    hintLabel->hide();
}

// The overlay's pixels scale by its own ratio to the X screen's; each
// corner then takes the logical coordinates of the monitor it lies on.
QRect RegionSelector::toDesktop(const QRect &rect) const
{
    if (rect.isNull())
        return rect;
    const qreal ratio = devicePixelRatioF();
    const QPoint origin = geometry().topLeft();
    const auto device = [&](QPoint p) { return origin + QPointF(QPointF(p) * ratio).toPoint(); };
    return capture::fromDevice(QRect(device(rect.topLeft()), device(rect.bottomRight() + QPoint(1, 1)) - QPoint(1, 1)));
}

void RegionSelector::finish(bool confirmed)
{
    // One report per selector, even when a receiver re-enters it (a key
    // press during a message box opened by the receiver, say).
    if (finished)
        return;
    finished = true;
    const QRect region = toDesktop(selectedRect);
    if (confirmed)
        emit regionSelected(region);
    else
        emit selectionCancelled();
    close();
}
