// The input pane: a plain-text editor for scripts with line numbers in a
// margin, colours from the reader's own reading of the script, and a mark
// on the statement of a run that failed.
#pragma once

#include <QPlainTextEdit>
#include <QSyntaxHighlighter>
#include <QTextCharFormat>
#include <array>

namespace ordena::gui {

// Colours a script by classifyLine: command words, option words, comments,
// quoted texts, tokens and loop words.
class ScriptHighlighter final : public QSyntaxHighlighter {
public:
    explicit ScriptHighlighter(QTextDocument* document);
    // The format of a kind (SyntaxKind as int).
    static QTextCharFormat format(int kind);

protected:
    void highlightBlock(const QString& text) override;
};

class ScriptEditor final : public QPlainTextEdit {
    Q_OBJECT
public:
    explicit ScriptEditor(QWidget* parent = nullptr);

    // Selects the text from begin to end (positions in the pane's text),
    // scrolls it into view and marks its first line as the failing one.
    void markFailure(int begin, int end);
    void clearFailure();
    // The line (from 1) marked as failing; 0 when none.
    int failureLine() const { return failureLine_; }

    // The margin with the line numbers.
    int lineNumberWidth() const;
    void paintLineNumbers(QPaintEvent* event);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void updateMargin();
    void showFailure();

    QWidget* margin_;
    ScriptHighlighter* highlighter_;
    int failureLine_ = 0;
    int failureBegin_ = -1;
    int failureEnd_ = -1;
};

}  // namespace ordena::gui
