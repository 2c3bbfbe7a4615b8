// The output pane: read-only text to which the core appends its reports.
// It holds at most its limit of characters, counting each line end as the
// CR LF the core writes: an append that would overflow deletes the first
// 4096 characters first, and what still does not fit is refused.
#pragma once

#include <QPlainTextEdit>
#include <QString>

namespace ordena::gui {

// The pane holds up to 32 Mi characters unless `set buffersize` asks for
// less; the old edit control's 32767 is no longer a limit.
inline constexpr int kOutputPaneCap = 32 * 1024 * 1024;
inline constexpr int kDefaultOutputLimit = kOutputPaneCap;
inline constexpr int kOutputTrim = 4096;

class OutputPane : public QPlainTextEdit {
    Q_OBJECT
public:
    explicit OutputPane(QWidget* parent = nullptr);

    void setLimit(int characters) { limit_ = characters; }
    int limit() const { return limit_; }
    // The characters held, as the core wrote them.
    int length() const { return static_cast<int>(raw_.size()); }
    const QString& rawText() const { return raw_; }

    // Appends at the end and shows the end. False when the pane refused
    // part of the text because it was full.
    bool appendText(const QString& text);
    void clearText();

private:
    // Deletes the first characters of the pane; never splits a CR LF.
    void trimFront(int characters);

    QString raw_;  // the text as the core wrote it, with its CR LF line ends
    int limit_ = kDefaultOutputLimit;
};

}  // namespace ordena::gui
