// What every command dialog shares: its host, the buttons that run and
// paste the composed statement, and the controls it builds, each named by
// its caption so that tests find it as a user would.
#pragma once

#include <QDialog>
#include <QString>
#include <vector>

#include "app/gui/dialog_host.h"
#include "base/mstring.h"

class QBoxLayout;
class QButtonGroup;
class QCheckBox;
class QFormLayout;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;

namespace ordena {
struct Workspace;
}

namespace ordena::gui {

class StatementDialog : public QDialog {
public:
    // How OK runs: the data dialogs run and close only when the statement
    // succeeds; most settings and analysis dialogs close first.
    enum class Run { CloseOnSuccess, CloseFirst };

    StatementDialog(DialogHost& host, const QString& title, Run run);

    // The statement the dialog would run or paste now; empty for none.
    virtual QString statement() = 0;

protected:
    const Workspace& workspace();
    DialogHost& host() { return host_; }

    // OK: runs the statement as the dialog's run mode says; an empty one
    // closes the dialog without running anything.
    virtual void ok();
    // Paste: appends the statement to the input pane; the dialog stays open
    // unless pasteCloses_ is set.
    virtual void paste();
    void runStatement(const QString& text);

    // Controls added after the buttons get their Alt letters here.
    void showEvent(QShowEvent* event) override;

    // The layout the dialog's controls go into, above its buttons.
    QBoxLayout* body() { return body_; }
    // The row of buttons: the run button (captioned okCaption), "Paste" and
    // "Cancel"; further buttons go before them with addButton.
    void addButtons(const QString& okCaption = "OK");
    QPushButton* addButton(const QString& caption, QBoxLayout* into = nullptr);

    // A one-line field of at most 99 characters: nothing typed is cut unseen.
    QLineEdit* addField(QFormLayout* form, const QString& label, const QString& text);
    QPlainTextEdit* addStatementField(const QString& text);
    QCheckBox* addCheck(QBoxLayout* into, const QString& caption, bool checked);
    // A group of radio buttons with the given captions; the id of each is
    // its index.
    QButtonGroup* addRadios(QBoxLayout* into, const QString& title, const std::vector<QString>& captions,
                            QGroupBox** box = nullptr);
    QListWidget* addList(QBoxLayout* into, const QString& name, const std::vector<MString>& entries, bool multiple);

    bool pasteCloses_ = false;
    QPushButton* okButton_ = nullptr;
    QPushButton* pasteButton_ = nullptr;

private:
    DialogHost& host_;
    Run run_;
    QBoxLayout* body_ = nullptr;
    QBoxLayout* buttons_ = nullptr;
};

// A field's text as the compose functions take it: a one-line field cut to
// its 99 characters, a multi-line statement field whole.
MString fieldOf(const QLineEdit* field);
MString fieldOf(const QPlainTextEdit* field);
QString q(const MString& text);

class Prompter;
// Makes a dialog of type D over the host and lets the prompter run it.
template <class D, class... Args>
void openDialog(Prompter& prompter, DialogHost& host, Args... args);

// The dialogs of the data specification and those of settings and analyses;
// false when the dialog is not one of theirs.
bool openDataDialog(CommandDialog dialog, DialogHost& host, Prompter& prompter);
bool openAnalysisDialog(CommandDialog dialog, DialogHost& host, Prompter& prompter);

}  // namespace ordena::gui

#include "app/gui/prompter.h"

template <class D, class... Args>
void ordena::gui::openDialog(Prompter& prompter, DialogHost& host, Args... args) {
    D dialog(host, args...);
    prompter.runDialog(dialog);
}
