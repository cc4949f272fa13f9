#pragma once

#include <QStringList>

class QWidget;

namespace vexlo::test {

// The shown combo boxes under root whose text field is narrower than their
// longest item (with its icon), one line each.
QStringList combosCuttingTheirItems(QWidget *root);

} // namespace vexlo::test
