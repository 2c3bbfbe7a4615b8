#include "app/gui/script_editor.h"

#include <QPainter>
#include <QTextBlock>

#include "command/script_syntax.h"

namespace ordena::gui {

namespace {

class LineNumberMargin final : public QWidget {
public:
    explicit LineNumberMargin(ScriptEditor* editor) : QWidget(editor), editor_(editor) {
        setObjectName("lineNumbers");
    }
    QSize sizeHint() const override { return {editor_->lineNumberWidth(), 0}; }

protected:
    void paintEvent(QPaintEvent* event) override { editor_->paintLineNumbers(event); }

private:
    ScriptEditor* editor_;
};

const QColor kFailureBackground(255, 226, 226);
const QColor kFailureNumber(176, 0, 32);

}  // namespace

ScriptHighlighter::ScriptHighlighter(QTextDocument* document) : QSyntaxHighlighter(document) {}

QTextCharFormat ScriptHighlighter::format(int kind) {
    QTextCharFormat f;
    switch (static_cast<SyntaxKind>(kind)) {
        case SyntaxKind::Command:
        case SyntaxKind::Loop:
            f.setForeground(QColor(0, 51, 153));
            f.setFontWeight(QFont::Bold);
            break;
        case SyntaxKind::UnknownCommand:
            f.setForeground(QColor(176, 0, 32));
            f.setUnderlineStyle(QTextCharFormat::WaveUnderline);
            f.setUnderlineColor(QColor(176, 0, 32));
            break;
        case SyntaxKind::Option:
            f.setForeground(QColor(128, 0, 128));
            break;
        case SyntaxKind::Comment:
            f.setForeground(QColor(110, 110, 110));
            f.setFontItalic(true);
            break;
        case SyntaxKind::Quoted:
            f.setForeground(QColor(0, 120, 0));
            break;
        case SyntaxKind::Token:
            f.setForeground(QColor(170, 85, 0));
            f.setFontWeight(QFont::DemiBold);
            break;
    }
    return f;
}

void ScriptHighlighter::highlightBlock(const QString& text) {
    SyntaxState state = SyntaxState::unpack(previousBlockState());
    const std::u16string_view line(reinterpret_cast<const char16_t*>(text.utf16()), static_cast<std::size_t>(text.size()));
    for (const SyntaxSpan& span : classifyLine(line, state))
        setFormat(span.start, span.length, format(static_cast<int>(span.kind)));
    setCurrentBlockState(state.pack());
}

ScriptEditor::ScriptEditor(QWidget* parent) : QPlainTextEdit(parent) {
    margin_ = new LineNumberMargin(this);
    highlighter_ = new ScriptHighlighter(document());
    connect(this, &QPlainTextEdit::blockCountChanged, this, [this] { updateMargin(); });
    connect(this, &QPlainTextEdit::updateRequest, this, [this](const QRect& rect, int dy) {
        if (dy != 0)
            margin_->scroll(0, dy);
        else
            margin_->update(0, rect.y(), margin_->width(), rect.height());
        if (rect.contains(viewport()->rect())) updateMargin();
    });
    // An edit makes the mark of a failure stale. The colouring reports its
    // changes as replacements of equal length; those are not edits.
    connect(document(), &QTextDocument::contentsChange, this, [this](int, int removed, int added) {
        if (removed != added && failureLine_ != 0) clearFailure();
    });
    updateMargin();
}

int ScriptEditor::lineNumberWidth() const {
    int digits = 1;
    for (int n = std::max(1, blockCount()); n >= 10; n /= 10) ++digits;
    digits = std::max(digits, 3);
    return 8 + fontMetrics().horizontalAdvance(QLatin1Char('9')) * digits;
}

void ScriptEditor::updateMargin() {
    setViewportMargins(lineNumberWidth(), 0, 0, 0);
    const QRect r = contentsRect();
    margin_->setGeometry(QRect(r.left(), r.top(), lineNumberWidth(), r.height()));
    margin_->update();
}

void ScriptEditor::resizeEvent(QResizeEvent* event) {
    QPlainTextEdit::resizeEvent(event);
    updateMargin();
}

void ScriptEditor::paintLineNumbers(QPaintEvent* event) {
    QPainter painter(margin_);
    painter.fillRect(event->rect(), palette().color(QPalette::Window));
    painter.setFont(font());
    QTextBlock block = firstVisibleBlock();
    int number = block.blockNumber() + 1;
    int top = qRound(blockBoundingGeometry(block).translated(contentOffset()).top());
    const int lineHeight = fontMetrics().height();
    while (block.isValid() && top <= event->rect().bottom()) {
        const int bottom = top + qRound(blockBoundingRect(block).height());
        if (block.isVisible() && bottom >= event->rect().top()) {
            const bool failed = number == failureLine_;
            if (failed) painter.fillRect(0, top, margin_->width(), lineHeight, kFailureBackground);
            painter.setPen(failed ? kFailureNumber : palette().color(QPalette::PlaceholderText));
            QFont f = font();
            f.setBold(failed);
            painter.setFont(f);
            painter.drawText(0, top, margin_->width() - 4, lineHeight, Qt::AlignRight | Qt::AlignVCenter,
                             QString::number(number));
        }
        block = block.next();
        top = bottom;
        ++number;
    }
}

void ScriptEditor::markFailure(int begin, int end) {
    const int length = document()->characterCount() - 1;
    begin = std::clamp(begin, 0, length);
    end = std::clamp(end, begin, length);
    failureBegin_ = begin;
    failureEnd_ = end;
    failureLine_ = document()->findBlock(begin).blockNumber() + 1;
    QTextCursor c(document());
    c.setPosition(end);
    c.setPosition(begin, QTextCursor::KeepAnchor);
    setTextCursor(c);
    centerCursor();
    showFailure();
}

void ScriptEditor::clearFailure() {
    failureLine_ = 0;
    failureBegin_ = failureEnd_ = -1;
    setExtraSelections({});
    margin_->update();
}

void ScriptEditor::showFailure() {
    QTextEdit::ExtraSelection line;
    line.format.setBackground(kFailureBackground);
    line.format.setProperty(QTextFormat::FullWidthSelection, true);
    line.cursor = QTextCursor(document()->findBlockByNumber(failureLine_ - 1));
    setExtraSelections({line});
    margin_->update();
}

}  // namespace ordena::gui
