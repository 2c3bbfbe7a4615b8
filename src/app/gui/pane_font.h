// The font of the input and output panes, and of fields that hold column
// layouts: the reports are laid out in columns, so every character must
// have the same advance width.
#pragma once

#include <QFont>

namespace ordena::gui {

// True when the characters that reports and scripts use all advance by
// the same width in this font. Some monospace fonts (Noto Sans Mono among
// them) are not marked as fixed pitch; what matters is the widths.
bool hasEqualAdvances(const QFont& font);

// A known monospace family that is installed and has equal advances, else
// the system's fixed font, else any font that has them; the same on every
// start.
QFont paneFont();

}  // namespace ordena::gui
