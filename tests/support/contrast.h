#pragma once

#include <QColor>
#include <QList>
#include <QRect>
#include <QString>

#include <functional>

class QWidget;

namespace vexlo::test {

// The WCAG contrast ratio of two colours, 1 to 21.
double contrastRatio(const QColor &a, const QColor &b);

// How one text shown in a window stands out from what is drawn behind it.
struct TextContrast
{
    QString what;
    double ratio = 1;
    QColor text;
    QColor background;
};

// Measures every text a user reads in a shown top-level widget, as drawn on
// screen: each text is grabbed once as shown and once hidden (the text
// blanked, or made transparent where blanking would move things), and the
// pixels that differ are the text, the hidden grab its own background. The
// ratio of a text is the best of its pixels, a glyph's core; a text that
// draws nothing, or nearly its background's colour, gets a ratio near 1.
// Disabled controls are left out, as the guidelines leave them out.
QList<TextContrast> textContrasts(QWidget *topLevel);

// The texts of a list whose ratio is below the least one, one per line.
QString unreadable(const QList<TextContrast> &texts, double least);

} // namespace vexlo::test
