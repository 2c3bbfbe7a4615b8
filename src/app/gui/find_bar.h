// Find and Replace: a bar below the panes that searches the active pane
// and, in the input pane, replaces. Searches wrap around the end.
#pragma once

#include <QTextDocument>
#include <QWidget>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace ordena::gui {

class FindBar final : public QWidget {
    Q_OBJECT
public:
    explicit FindBar(QWidget* parent = nullptr);

    // The pane searched; replacing needs one that can be edited.
    void setTarget(QPlainTextEdit* pane);
    QPlainTextEdit* target() const { return target_; }

    // Shows the bar with the find field focused (and the replace row).
    void showFind();
    void showReplace();

    // The next (or previous) match after the caret, wrapping around; it is
    // selected. False, and "Not found" shown, when there is none.
    bool findNext(bool backward = false);
    // Replaces the selected match, then finds the next one.
    bool replaceOne();
    // Replaces every match as one step that Undo takes back; the count.
    int replaceAll();

    QLineEdit* findField() const { return find_; }
    QLineEdit* replaceField() const { return replace_; }
    QString message() const;

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    QTextDocument::FindFlags flags(bool backward) const;
    bool selectionMatches() const;
    void setReplacing(bool on);

    QPlainTextEdit* target_ = nullptr;
    QLineEdit* find_;
    QLineEdit* replace_;
    QCheckBox* matchCase_;
    QCheckBox* wholeWords_;
    QPushButton* replaceButton_;
    QPushButton* replaceAllButton_;
    QLabel* message_;
    bool replacing_ = false;
};

}  // namespace ordena::gui
