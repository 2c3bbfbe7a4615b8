#include "app/gui/find_bar.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextCursor>

namespace ordena::gui {

FindBar::FindBar(QWidget* parent) : QWidget(parent) {
    setObjectName("findBar");
    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(4, 2, 4, 2);
    grid->setVerticalSpacing(2);
    auto button = [this](const QString& caption, const QString& name) {
        auto* b = new QPushButton(caption, this);
        b->setObjectName(name);
        b->setAutoDefault(false);
        return b;
    };

    auto* findLabel = new QLabel("F&ind:", this);
    find_ = new QLineEdit(this);
    find_->setObjectName("find.text");
    find_->setClearButtonEnabled(true);
    findLabel->setBuddy(find_);
    QPushButton* next = button("&Next", "find.next");
    QPushButton* previous = button("Pre&vious", "find.previous");
    matchCase_ = new QCheckBox("Match &case", this);
    matchCase_->setObjectName("find.case");
    wholeWords_ = new QCheckBox("&Whole words", this);
    wholeWords_->setObjectName("find.words");
    message_ = new QLabel(this);
    message_->setObjectName("find.message");
    message_->setMinimumWidth(110);
    QPushButton* close = button("Close", "find.close");
    close->setToolTip("Close (Esc)");

    // One grid, so that the two fields and their buttons line up.
    grid->addWidget(findLabel, 0, 0);
    grid->addWidget(find_, 0, 1);
    grid->addWidget(next, 0, 2);
    grid->addWidget(previous, 0, 3);
    grid->addWidget(matchCase_, 0, 4);
    grid->addWidget(wholeWords_, 0, 5);
    grid->addWidget(message_, 0, 6);
    grid->addWidget(close, 0, 8);
    grid->setColumnStretch(1, 1);
    grid->setColumnStretch(7, 1);

    auto* replaceLabel = new QLabel("Re&place with:", this);
    replaceLabel->setObjectName("find.replaceLabel");
    replace_ = new QLineEdit(this);
    replace_->setObjectName("find.replacement");
    replaceLabel->setBuddy(replace_);
    replaceButton_ = button("&Replace", "find.replace");
    replaceAllButton_ = button("Replace &All", "find.replaceall");
    grid->addWidget(replaceLabel, 1, 0);
    grid->addWidget(replace_, 1, 1);
    grid->addWidget(replaceButton_, 1, 2);
    grid->addWidget(replaceAllButton_, 1, 3);

    connect(find_, &QLineEdit::returnPressed, this, [this] { findNext(); });
    connect(find_, &QLineEdit::textEdited, this, [this] { message_->clear(); });
    connect(replace_, &QLineEdit::returnPressed, this, [this] { replaceOne(); });
    connect(next, &QPushButton::clicked, this, [this] { findNext(); });
    connect(previous, &QPushButton::clicked, this, [this] { findNext(true); });
    connect(replaceButton_, &QPushButton::clicked, this, [this] { replaceOne(); });
    connect(replaceAllButton_, &QPushButton::clicked, this, [this] { replaceAll(); });
    connect(close, &QPushButton::clicked, this, [this] {
        hide();
        if (target_) target_->setFocus();
    });
    setReplacing(false);
    hide();
}

void FindBar::setTarget(QPlainTextEdit* pane) {
    target_ = pane;
    message_->clear();
    setReplacing(replacing_);
}

void FindBar::setReplacing(bool on) {
    const bool editable = on && target_ != nullptr && !target_->isReadOnly();
    replacing_ = on;
    for (QWidget* w : {static_cast<QWidget*>(replace_), static_cast<QWidget*>(replaceButton_),
                       static_cast<QWidget*>(replaceAllButton_)})
        w->setVisible(on);
    if (auto* label = findChild<QLabel*>("find.replaceLabel")) label->setVisible(on);
    replace_->setEnabled(editable);
    replaceButton_->setEnabled(editable);
    replaceAllButton_->setEnabled(editable);
}

void FindBar::showFind() {
    setReplacing(false);
    show();
    // The selection, when it is part of a line, is what to look for.
    if (target_ && target_->textCursor().hasSelection()) {
        const QString selected = target_->textCursor().selectedText();
        if (!selected.contains(QChar::ParagraphSeparator)) find_->setText(selected);
    }
    find_->setFocus();
    find_->selectAll();
}

void FindBar::showReplace() {
    showFind();
    setReplacing(true);
}

QString FindBar::message() const { return message_->text(); }

QTextDocument::FindFlags FindBar::flags(bool backward) const {
    QTextDocument::FindFlags f;
    if (matchCase_->isChecked()) f |= QTextDocument::FindCaseSensitively;
    if (wholeWords_->isChecked()) f |= QTextDocument::FindWholeWords;
    if (backward) f |= QTextDocument::FindBackward;
    return f;
}

bool FindBar::findNext(bool backward) {
    if (target_ == nullptr) return false;
    const QString text = find_->text();
    if (text.isEmpty()) {
        showFind();
        return false;
    }
    QTextDocument* doc = target_->document();
    QTextCursor found = doc->find(text, target_->textCursor(), flags(backward));
    if (found.isNull()) {
        // Round the end, from the other side.
        QTextCursor from(doc);
        from.movePosition(backward ? QTextCursor::End : QTextCursor::Start);
        found = doc->find(text, from, flags(backward));
        if (!found.isNull()) message_->setText("Wrapped around");
    } else {
        message_->clear();
    }
    if (found.isNull()) {
        message_->setText("Not found");
        return false;
    }
    target_->setTextCursor(found);
    target_->ensureCursorVisible();
    return true;
}

bool FindBar::selectionMatches() const {
    const QTextCursor c = target_->textCursor();
    if (!c.hasSelection()) return false;
    // The selection is a match when a search from its start finds exactly it.
    QTextCursor from(target_->document());
    from.setPosition(c.selectionStart());
    const QTextCursor found = target_->document()->find(find_->text(), from, flags(false));
    return !found.isNull() && found.selectionStart() == c.selectionStart() && found.selectionEnd() == c.selectionEnd();
}

bool FindBar::replaceOne() {
    if (target_ == nullptr || target_->isReadOnly() || find_->text().isEmpty()) return false;
    if (selectionMatches()) {
        QTextCursor c = target_->textCursor();
        c.insertText(replace_->text());
        target_->setTextCursor(c);
    }
    return findNext();
}

int FindBar::replaceAll() {
    if (target_ == nullptr || target_->isReadOnly() || find_->text().isEmpty()) return 0;
    QTextDocument* doc = target_->document();
    QTextCursor edit(doc);
    edit.beginEditBlock();
    int count = 0;
    QTextCursor at(doc);
    while (true) {
        QTextCursor found = doc->find(find_->text(), at, flags(false));
        if (found.isNull()) break;
        found.insertText(replace_->text());
        at = found;
        ++count;
    }
    edit.endEditBlock();
    message_->setText(count == 0 ? QString("Not found") : QString("%1 replaced").arg(count));
    return count;
}

void FindBar::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        hide();
        if (target_) target_->setFocus();
        return;
    }
    QWidget::keyPressEvent(event);
}

}  // namespace ordena::gui
