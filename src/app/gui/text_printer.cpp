#include "app/gui/text_printer.h"

#include <QAbstractTextDocumentLayout>
#include <QFont>
#include <QPainter>
#include <QPrinter>
#include <QProgressDialog>
#include <QTextDocument>
#include <QTextOption>

namespace ordena::gui {

PrintResult printText(const QString& text, const QFont& font, QPrinter& printer, QWidget* parent) {
    QPainter painter;
    if (!painter.begin(&printer)) return PrintResult::StartFailed;

    QTextDocument document;
    document.documentLayout()->setPaintDevice(&printer);
    document.setDefaultFont(font);
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    document.setDefaultTextOption(option);
    document.setDocumentMargin(0);
    document.setPlainText(text);
    const QRectF page = printer.pageRect(QPrinter::DevicePixel);
    const QSizeF pageSize(page.width(), page.height());
    document.setPageSize(pageSize);
    const int pages = std::max(1, document.pageCount());

    QProgressDialog progress("Printing File", "Cancel", 0, pages, parent);
    progress.setWindowTitle("Print");
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(500);
    for (int p = 0; p < pages; ++p) {
        progress.setValue(p);
        if (progress.wasCanceled()) {
            printer.abort();
            return PrintResult::Cancelled;
        }
        if (p > 0 && !printer.newPage()) {
            painter.end();
            return PrintResult::PageFailed;
        }
        painter.save();
        painter.translate(0, -p * pageSize.height());
        document.drawContents(&painter, QRectF(QPointF(0, p * pageSize.height()), pageSize));
        painter.restore();
    }
    progress.setValue(pages);
    return painter.end() ? PrintResult::Printed : PrintResult::PageFailed;
}

}  // namespace ordena::gui
