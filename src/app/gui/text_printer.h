// Printing a pane's text page by page, with a window that can cancel.
#pragma once

#include <QString>

class QFont;
class QPrinter;
class QWidget;

namespace ordena::gui {

enum class PrintResult { Printed, Cancelled, StartFailed, PageFailed };

// Prints text in font; long lines wrap at the page's width. parent owns the
// cancel window "Printing File".
PrintResult printText(const QString& text, const QFont& font, QPrinter& printer, QWidget* parent);

}  // namespace ordena::gui
