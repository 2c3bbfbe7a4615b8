#include "app/gui/output_pane.h"
#include "app/gui/pane_font.h"

#include <QFontDatabase>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <algorithm>

namespace ordena::gui {

namespace {

// The text the pane shows for raw text: CR LF, a lone CR and a lone LF each
// become one line break. afterCarriageReturn: the text before ended in CR,
// so a leading LF completes that line end.
QString shown(const QString& raw, bool afterCarriageReturn) {
    QString out;
    out.reserve(raw.size());
    bool cr = afterCarriageReturn;
    for (QChar c : raw) {
        if (c == '\n' && cr) {
            cr = false;
            continue;
        }
        cr = c == '\r';
        out += cr ? QChar('\n') : c;
    }
    return out;
}

}  // namespace

OutputPane::OutputPane(QWidget* parent) : QPlainTextEdit(parent) {
    setReadOnly(true);
    setUndoRedoEnabled(false);
    setLineWrapMode(QPlainTextEdit::NoWrap);
    setFont(paneFont());
    setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
}

void OutputPane::trimFront(int characters) {
    int n = std::min(characters, length());
    if (n <= 0) return;
    if (n < length() && raw_[n - 1] == '\r' && raw_[n] == '\n') ++n;
    const int shownLength = static_cast<int>(shown(raw_.left(n), false).size());
    raw_.remove(0, n);
    QTextCursor cursor(document());
    cursor.setPosition(0);
    cursor.setPosition(std::min(shownLength, document()->characterCount() - 1), QTextCursor::KeepAnchor);
    cursor.removeSelectedText();
}

bool OutputPane::appendText(const QString& text) {
    if (text.isEmpty()) return true;
    if (length() + text.size() > limit_) trimFront(kOutputTrim);
    QString accepted = text;
    bool refused = false;
    if (length() + accepted.size() > limit_) {
        accepted = accepted.left(std::max(0, limit_ - length()));
        refused = true;
    }
    if (!accepted.isEmpty()) {
        const bool afterCarriageReturn = raw_.endsWith('\r');
        raw_ += accepted;
        QTextCursor cursor(document());
        cursor.movePosition(QTextCursor::End);
        cursor.insertText(shown(accepted, afterCarriageReturn));
        // The caret follows the text, as in a log.
        setTextCursor(cursor);
        verticalScrollBar()->setValue(verticalScrollBar()->maximum());
    }
    return !refused;
}

void OutputPane::clearText() {
    raw_.clear();
    clear();
}

}  // namespace ordena::gui
