#include "app/gui/statement_dialog.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "app/compose/dialog_fields.h"
#include "app/gui/gui_shell.h"
#include "app/gui/mnemonics.h"
#include "command/session.h"

namespace ordena::gui {

StatementDialog::StatementDialog(DialogHost& host, const QString& title, Run run)
    : QDialog(dynamic_cast<QWidget*>(&host)), host_(host), run_(run) {
    setWindowTitle(title);
    auto* layout = new QVBoxLayout(this);
    body_ = new QVBoxLayout;
    layout->addLayout(body_);
    buttons_ = new QHBoxLayout;
    buttons_->addStretch();
    layout->addLayout(buttons_);
}

const Workspace& StatementDialog::workspace() { return host_.session().ws; }

void StatementDialog::addButtons(const QString& okCaption) {
    okButton_ = addButton(okCaption);
    okButton_->setDefault(true);
    connect(okButton_, &QPushButton::clicked, this, [this] { ok(); });
    pasteButton_ = addButton("Paste");
    connect(pasteButton_, &QPushButton::clicked, this, [this] { paste(); });
    QPushButton* cancel = addButton("Cancel");
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    // Every control can be reached from the keyboard.
    assignMnemonics(this, {okButton_, pasteButton_, cancel});
}

QPushButton* StatementDialog::addButton(const QString& caption, QBoxLayout* into) {
    auto* button = new QPushButton(caption, this);
    button->setObjectName(caption);
    button->setAutoDefault(false);
    (into != nullptr ? into : buttons_)->addWidget(button);
    return button;
}

void StatementDialog::showEvent(QShowEvent* event) {
    assignMnemonics(this, {okButton_, pasteButton_});
    QDialog::showEvent(event);
}

void StatementDialog::ok() {
    const QString text = statement();
    if (text.isEmpty()) {
        accept();
        return;
    }
    runStatement(text);
}

void StatementDialog::runStatement(const QString& text) {
    if (run_ == Run::CloseFirst) {
        accept();
        host_.runStatement(text);
        return;
    }
    // The dialog waits for the result: closed on success, open to correct
    // the fields on failure.
    setEnabled(false);
    QPointer<StatementDialog> self(this);
    const bool started = host_.runStatement(text, [self](int result) {
        if (!self) return;
        self->setEnabled(true);
        if (result == 1) self->accept();
    });
    if (!started) setEnabled(true);
}

void StatementDialog::paste() {
    host_.pasteStatement(statement());
    if (pasteCloses_) accept();
}

QLineEdit* StatementDialog::addField(QFormLayout* form, const QString& label, const QString& text) {
    auto* field = new QLineEdit(this);
    field->setObjectName(label);
    field->setMaxLength(kFieldCharacters);
    field->setText(text);
    form->addRow(label, field);
    return field;
}

QPlainTextEdit* StatementDialog::addStatementField(const QString& text) {
    auto* field = new QPlainTextEdit(text, this);
    field->setObjectName("statement");
    field->setMinimumHeight(60);
    field->setMaximumHeight(90);
    body_->addWidget(field);
    return field;
}

QCheckBox* StatementDialog::addCheck(QBoxLayout* into, const QString& caption, bool checked) {
    auto* box = new QCheckBox(caption, this);
    box->setObjectName(caption);
    box->setChecked(checked);
    into->addWidget(box);
    return box;
}

QButtonGroup* StatementDialog::addRadios(QBoxLayout* into, const QString& title, const std::vector<QString>& captions,
                                         QGroupBox** box) {
    auto* group = new QGroupBox(title, this);
    group->setObjectName(title);
    auto* layout = new QVBoxLayout(group);
    auto* buttons = new QButtonGroup(group);
    for (std::size_t k = 0; k < captions.size(); ++k) {
        auto* radio = new QRadioButton(captions[k], group);
        radio->setObjectName(captions[k]);
        layout->addWidget(radio);
        buttons->addButton(radio, static_cast<int>(k));
    }
    into->addWidget(group);
    if (box != nullptr) *box = group;
    return buttons;
}

QListWidget* StatementDialog::addList(QBoxLayout* into, const QString& name, const std::vector<MString>& entries,
                                      bool multiple) {
    auto* list = new QListWidget(this);
    list->setObjectName(name);
    list->setSelectionMode(multiple ? QAbstractItemView::ExtendedSelection : QAbstractItemView::SingleSelection);
    for (const MString& e : entries) list->addItem(q(e));
    into->addWidget(list);
    return list;
}

MString fieldOf(const QLineEdit* field) { return fieldText(toMString(field->text())); }

MString fieldOf(const QPlainTextEdit* field) { return toMString(field->toPlainText()); }

QString q(const MString& text) { return toQString(text); }

}  // namespace ordena::gui
