// The controls the plot windows' dialogs are built of, each named so that
// tests can find it.
#pragma once

#include <QString>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QSpinBox;
class QWidget;

namespace ordena::gui {

// A field for a number, written and read in the C locale.
QLineEdit* numberField(const QString& name, double value, QWidget* parent);
// True, with the number, when the field holds one; value is kept otherwise.
bool readNumber(const QLineEdit* edit, double& value);
QCheckBox* switchField(const QString& name, const QString& text, bool on, QWidget* parent);
QSpinBox* countField(const QString& name, int low, int high, int value, QWidget* parent);
// A choice of the entries, count of them, current one selected.
QComboBox* listField(const QString& name, const char* const* entries, int count, int current, QWidget* parent);

}  // namespace ordena::gui
