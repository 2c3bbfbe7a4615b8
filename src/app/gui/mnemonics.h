// Keyboard mnemonics (Alt + an underlined letter) for every button, group
// and labelled field of a dialog, chosen so that no two share a letter.
#pragma once

#include <initializer_list>

class QWidget;

namespace ordena::gui {

// Gives each push button, check box, radio button, group box title and
// label with a buddy that has none yet a letter of its own: the first
// letter of a word where one is free, else any free letter or digit.
// Widgets listed in first go first (the dialog's main buttons).
void assignMnemonics(QWidget* dialog, std::initializer_list<QWidget*> first = {});

}  // namespace ordena::gui
