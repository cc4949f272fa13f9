#include "support/contrast.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPixmap>
#include <QSignalBlocker>
#include <QTabBar>
#include <QTableView>
#include <QWidget>

#include <cmath>

namespace vexlo::test {

namespace {

double luminance(const QColor &c)
{
    auto channel = [](double v) {
        return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(c.redF()) + 0.7152 * channel(c.greenF()) + 0.0722 * channel(c.blueF());
}

// One or more texts hidden and shown again together, each read in its own
// rectangle (in the coordinates of the top-level widget).
struct Holder
{
    QList<QPair<QString, QRect>> places;
    std::function<void()> hide;
    std::function<void()> show;
};

QString describe(const QWidget *widget, const QString &text)
{
    const QString name = widget->objectName().isEmpty()
                             ? QString::fromLatin1(widget->metaObject()->className())
                             : widget->objectName();
    return name + QStringLiteral(" \"") + text.left(30) + u'"';
}

// Text made transparent by the widget's own sheet, which wins over the
// application's: for texts whose blanking would lay the widget out anew.
Holder transparentText(QWidget *widget, const QString &rules)
{
    const QString sheet = widget->styleSheet();
    return {{},
            [widget, sheet, rules] { widget->setStyleSheet(sheet + rules); },
            [widget, sheet] { widget->setStyleSheet(sheet); }};
}

QRect inTop(const QWidget *widget, const QRect &rect, const QWidget *top)
{
    return QRect(widget->mapTo(top, rect.topLeft()), rect.size());
}

void addItemView(QAbstractItemView *view, QWidget *top, QList<Holder> &holders)
{
    Holder holder = transparentText(
        view, QStringLiteral(" QAbstractItemView::item, QListView::item, QTableView::item"
                             " { color: transparent; } QHeaderView::section { color: transparent; }"));
    const QAbstractItemModel *model = view->model();
    QWidget *viewport = view->viewport();
    for (int row = 0; row < model->rowCount(view->rootIndex()); ++row) {
        for (int column = 0; column < model->columnCount(view->rootIndex()); ++column) {
            const QModelIndex index = model->index(row, column, view->rootIndex());
            const QString text = index.data().toString();
            const QRect rect = view->visualRect(index).intersected(viewport->rect());
            if (!text.isEmpty() && !rect.isEmpty() && view->indexWidget(index) == nullptr)
                holder.places.append({describe(view, text), inTop(viewport, rect, top)});
        }
    }
    if (auto *table = qobject_cast<QTableView *>(view)) {
        QHeaderView *header = table->horizontalHeader();
        for (int section = 0; section < header->count() && header->isVisible(); ++section) {
            const QString text = model->headerData(section, Qt::Horizontal).toString();
            const QRect rect(header->sectionViewportPosition(section), 0,
                             header->sectionSize(section), header->height());
            if (!text.isEmpty())
                holder.places.append({describe(header, text), inTop(header->viewport(), rect, top)});
        }
    }
    holders.append(holder);
}

// The texts of one widget, or none.
void addWidget(QWidget *w, QWidget *top, QList<Holder> &holders)
{
    const QRect whole = inTop(w, w->rect(), top);
    if (auto *label = qobject_cast<QLabel *>(w); label && !label->text().isEmpty()) {
        const QString text = label->text();
        holders.append({{{describe(w, text), whole}},
                        [label] { label->setText(QString()); },
                        [label, text] { label->setText(text); }});
    } else if (auto *button = qobject_cast<QAbstractButton *>(w); button && !button->text().isEmpty()) {
        const QString text = button->text();
        holders.append({{{describe(w, text), whole}},
                        [button] { const QSignalBlocker b(button); button->setText(QString()); },
                        [button, text] { const QSignalBlocker b(button); button->setText(text); }});
    } else if (auto *group = qobject_cast<QGroupBox *>(w); group && !group->title().isEmpty()) {
        const QString title = group->title();
        // The title alone: its children are read on their own.
        const QRect band(whole.topLeft(), QSize(whole.width(), group->fontMetrics().height() + 4));
        holders.append({{{describe(w, title), band}},
                        [group] { group->setTitle(QString()); },
                        [group, title] { group->setTitle(title); }});
    } else if (auto *combo = qobject_cast<QComboBox *>(w); combo && !combo->currentText().isEmpty()) {
        const int index = combo->currentIndex();
        const QString text = combo->itemText(index);
        auto set = [combo, index](const QString &t) {
            const QSignalBlocker b(combo);
            const QSignalBlocker m(combo->model());
            combo->setItemText(index, t);
        };
        holders.append({{{describe(w, text), whole}},
                        [set] { set(QString()); },
                        [set, text] { set(text); }});
    } else if (auto *edit = qobject_cast<QLineEdit *>(w); edit && !edit->text().isEmpty()
                                                         && !qobject_cast<QComboBox *>(w->parentWidget())) {
        const QString text = edit->text();
        holders.append({{{describe(w, text), whole}},
                        [edit] { const QSignalBlocker b(edit); edit->setText(QString()); },
                        [edit, text] { const QSignalBlocker b(edit); edit->setText(text); }});
    } else if (auto *tabs = qobject_cast<QTabBar *>(w)) {
        Holder holder = transparentText(tabs, QStringLiteral(" QTabBar::tab { color: transparent; }"));
        for (int i = 0; i < tabs->count(); ++i)
            if (tabs->isTabEnabled(i))
                holder.places.append({describe(w, tabs->tabText(i)), inTop(tabs, tabs->tabRect(i), top)});
        holders.append(holder);
    } else if (auto *menu = qobject_cast<QMenu *>(w)) {
        Holder holder = transparentText(menu, QStringLiteral(" QMenu::item { color: transparent; }"));
        for (QAction *action : menu->actions())
            if (!action->isSeparator() && action->isEnabled())
                holder.places.append({describe(w, action->text()),
                                      inTop(menu, menu->actionGeometry(action), top)});
        holders.append(holder);
    } else if (auto *view = qobject_cast<QAbstractItemView *>(w); view && !qobject_cast<QHeaderView *>(w)) {
        addItemView(view, top, holders);
    }
}

TextContrast measure(const QString &what, const QImage &shown, const QImage &hidden)
{
    TextContrast best{what, 1, QColor(), QColor()};
    for (int y = 0; y < shown.height(); ++y) {
        for (int x = 0; x < shown.width(); ++x) {
            const QColor text = shown.pixelColor(x, y);
            const QColor background = hidden.pixelColor(x, y);
            const double ratio = contrastRatio(text, background);
            if (ratio > best.ratio)
                best = {what, ratio, text, background};
        }
    }
    return best;
}

} // namespace

double contrastRatio(const QColor &a, const QColor &b)
{
    const double la = luminance(a), lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QList<TextContrast> textContrasts(QWidget *topLevel)
{
    QList<Holder> holders;
    const QRect area = topLevel->rect();
    for (QWidget *w : topLevel->findChildren<QWidget *>()) {
        if (!w->isVisibleTo(topLevel) || !w->isEnabled() || w->visibleRegion().isEmpty())
            continue;
        addWidget(w, topLevel, holders);
    }
    addWidget(topLevel, topLevel, holders);

    QList<TextContrast> results;
    for (const Holder &holder : holders) {
        QList<QRect> rects;
        for (const auto &place : holder.places)
            rects << place.second.intersected(area);
        const QImage shown = topLevel->grab().toImage().convertToFormat(QImage::Format_RGB32);
        holder.hide();
        const QImage hidden = topLevel->grab().toImage().convertToFormat(QImage::Format_RGB32);
        holder.show();
        const qreal scale = shown.devicePixelRatio();
        for (int i = 0; i < rects.size(); ++i) {
            if (rects[i].isEmpty())
                continue;
            const QRect pixels(rects[i].topLeft() * scale, rects[i].size() * scale);
            results << measure(holder.places[i].first, shown.copy(pixels), hidden.copy(pixels));
        }
    }
    return results;
}

QString unreadable(const QList<TextContrast> &texts, double least)
{
    QStringList lines;
    for (const TextContrast &t : texts)
        if (t.ratio < least)
            lines << QStringLiteral("%1: %2 on %3, ratio %4")
                         .arg(t.what, t.text.name(), t.background.name())
                         .arg(t.ratio, 0, 'f', 2);
    return lines.join(u'\n');
}

} // namespace vexlo::test
