#include "app/gui/curvana/fields.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleValidator>
#include <QLineEdit>
#include <QLocale>
#include <QSpinBox>

namespace ordena::gui {

QLineEdit* numberField(const QString& name, double value, QWidget* parent) {
    auto* edit = new QLineEdit(QString::number(value, 'g', 10), parent);
    edit->setObjectName(name);
    auto* validator = new QDoubleValidator(edit);
    validator->setLocale(QLocale::c());
    edit->setValidator(validator);
    return edit;
}

bool readNumber(const QLineEdit* edit, double& value) {
    bool ok = false;
    const double v = QLocale::c().toDouble(edit->text().trimmed(), &ok);
    if (ok) value = v;
    return ok;
}

QCheckBox* switchField(const QString& name, const QString& text, bool on, QWidget* parent) {
    auto* box = new QCheckBox(text, parent);
    box->setObjectName(name);
    box->setChecked(on);
    return box;
}

QSpinBox* countField(const QString& name, int low, int high, int value, QWidget* parent) {
    auto* box = new QSpinBox(parent);
    box->setObjectName(name);
    box->setRange(low, high);
    box->setValue(value);
    return box;
}

QComboBox* listField(const QString& name, const char* const* entries, int count, int current, QWidget* parent) {
    auto* box = new QComboBox(parent);
    box->setObjectName(name);
    for (int k = 0; k < count; ++k) box->addItem(entries[k]);
    box->setCurrentIndex(current);
    return box;
}

}  // namespace ordena::gui
