#include "support/combofit.h"

#include <QComboBox>
#include <QStyle>
#include <QStyleOptionComboBox>

namespace vexlo::test {

QStringList combosCuttingTheirItems(QWidget *root)
{
    QStringList cut;
    for (QComboBox *combo : root->findChildren<QComboBox *>()) {
        if (!combo->isVisible())
            continue;
        QStyleOptionComboBox option;
        option.initFrom(combo);
        option.frame = true;
        const QRect field =
            combo->style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, combo);
        int longest = 0;
        QString longestText;
        for (int i = 0; i < combo->count(); ++i) {
            int width = combo->fontMetrics().horizontalAdvance(combo->itemText(i));
            if (!combo->itemIcon(i).isNull())
                width += combo->iconSize().width() + 4;
            if (width > longest) {
                longest = width;
                longestText = combo->itemText(i);
            }
        }
        if (field.width() < longest)
            cut << QStringLiteral("%1: \"%2\" needs %3, has %4")
                       .arg(combo->objectName(), longestText).arg(longest).arg(field.width());
    }
    return cut;
}

} // namespace vexlo::test
