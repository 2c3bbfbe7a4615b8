// The dialogs of the data specification (Command menu). Each runs its
// statement and closes only when it succeeds.
#include <QButtonGroup>
#include <QCheckBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>
#include <functional>

#include "app/compose/dialog_fields.h"

#include "app/compose/data_dialogs.h"
#include "app/gui/gui_shell.h"
#include "app/gui/pane_font.h"
#include "app/gui/prompter.h"
#include "app/gui/statement_dialog.h"
#include "command/session.h"

namespace ordena::gui {

namespace {

using Run = StatementDialog::Run;

// "Title" and "Valid Code List": one field and its statement.
class OneFieldDialog final : public StatementDialog {
public:
    OneFieldDialog(DialogHost& host, const QString& title, const QString& label, const MString& text,
                   MString (*compose)(const MString&))
        : StatementDialog(host, title, Run::CloseOnSuccess), compose_(compose) {
        auto* form = new QFormLayout;
        body()->addLayout(form);
        field_ = addField(form, label, q(text));
        field_->setMinimumWidth(360);
        addButtons();
    }
    QString statement() override { return q(compose_(fieldOf(field_))); }

private:
    QLineEdit* field_;
    MString (*compose_)(const MString&);
};

// The level list of the implicit variables; the first dialog of recode,
// scoring and delete.
class LevelDialog final : public StatementDialog {
public:
    LevelDialog(DialogHost& host, const QString& title) : StatementDialog(host, title, Run::CloseOnSuccess) {
        const DataLayout& layout = workspace().data.layout;
        layout_ = layout;
        entries_ = levelList(layout);
        std::vector<MString> texts;
        for (const LevelEntry& e : entries_) texts.push_back(e.text);
        list_ = addList(body(), "levels", texts, true);
    }
    // The variable clause of the selection, entries taken in list order.
    MString clause() const {
        std::vector<LevelEntry> selected;
        for (int row = 0; row < list_->count(); ++row)
            if (list_->item(row)->isSelected()) selected.push_back(entries_[static_cast<std::size_t>(row)]);
        return variableClause(layout_, selected);
    }
    QString statement() override { return q(composeDelete(clause())); }

    // "Specify Recodes" and "Specify Scores": close and go on to the next
    // dialog when accept says so.
    void addNextButton(const QString& caption, std::function<bool()> accept) {
        QPushButton* next = addButton(caption);
        next->setDefault(true);
        connect(next, &QPushButton::clicked, this, [this, accept] {
            if (accept()) this->accept();
        });
        QPushButton* cancel = addButton("Cancel");
        connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    }
    // "Select Variables to Score": the number of dimensions to go on with.
    QLineEdit* addDimensionsField(int dimensions) {
        auto* form = new QFormLayout;
        body()->addLayout(form);
        return addField(form, "Number of dimensions:", QString::number(dimensions));
    }
    // "Select Variables to Delete": "Delete" runs; "Paste" pastes and closes.
    void addDeleteButtons() {
        addButtons("Delete");
        pasteCloses_ = true;
    }

private:
    DataLayout layout_;
    std::vector<LevelEntry> entries_;
    QListWidget* list_;
};

// "Recoding".
class RecodingDialog final : public StatementDialog {
public:
    RecodingDialog(DialogHost& host, const MString& clause)
        : StatementDialog(host, "Recoding", Run::CloseOnSuccess), clause_(clause) {
        auto* form = new QFormLayout;
        body()->addLayout(form);
        const QString codes = q(codeListText(workspace()));
        from_ = addField(form, "From Codes", codes);
        to_ = addField(form, "To Codes", codes);
        statement_ = addStatementField(QString());
        recompose();
        // Edits made in the statement field give way to the code fields.
        connect(from_, &QLineEdit::textChanged, this, [this] { recompose(); });
        connect(to_, &QLineEdit::textChanged, this, [this] { recompose(); });
        addButtons();
    }
    QString statement() override { return q(fieldOf(statement_)); }

private:
    void recompose() { statement_->setPlainText(q(composeRecode(fieldOf(from_), fieldOf(to_), clause_))); }

    MString clause_;
    QLineEdit* from_;
    QLineEdit* to_;
    QPlainTextEdit* statement_;
};

// "Scoring": one score text per dimension.
class ScoringDialog final : public StatementDialog {
public:
    ScoringDialog(DialogHost& host, const MString& clause, int dimensions)
        : StatementDialog(host, "Scoring", Run::CloseOnSuccess),
          clause_(clause),
          texts_(initialScoreTexts(workspace(), dimensions)) {
        auto* form = new QFormLayout;
        body()->addLayout(form);
        codes_ = addField(form, "Codes", q(codeListText(workspace())));
        scoresLabel_ = new QLabel(this);
        scores_ = new QLineEdit(this);
        scores_->setObjectName("scores");
        scores_->setMaxLength(kFieldCharacters);
        form->addRow(scoresLabel_, scores_);
        auto* moves = new QHBoxLayout;
        moves->addWidget(new QLabel("Change diimension", this));
        previous_ = addButton("Previous", moves);
        next_ = addButton("Next", moves);
        body()->addLayout(moves);
        statement_ = addStatementField(QString());
        show(0);
        connect(codes_, &QLineEdit::textChanged, this, [this] { store(); });
        connect(scores_, &QLineEdit::textChanged, this, [this] { store(); });
        connect(previous_, &QPushButton::clicked, this, [this] { show(dimension_ - 1); });
        connect(next_, &QPushButton::clicked, this, [this] { show(dimension_ + 1); });
        addButtons();
    }
    QString statement() override { return q(fieldOf(statement_)); }

private:
    int count() const { return static_cast<int>(texts_.size()); }
    void show(int dimension) {
        if (dimension < 0 || dimension >= count()) return;
        dimension_ = dimension;
        scoresLabel_->setText("Scores for dimension " + QString::number(dimension + 1));
        scores_->setText(q(texts_[static_cast<std::size_t>(dimension)]));
        previous_->setEnabled(dimension > 0);
        next_->setEnabled(dimension < count() - 1);
        recompose();
    }
    void store() {
        texts_[static_cast<std::size_t>(dimension_)] = fieldOf(scores_);
        recompose();
    }
    void recompose() { statement_->setPlainText(q(composeScore(fieldOf(codes_), texts_, clause_))); }

    MString clause_;
    std::vector<MString> texts_;
    int dimension_ = 0;
    QLineEdit* codes_;
    QLabel* scoresLabel_;
    QLineEdit* scores_;
    QPushButton* previous_;
    QPushButton* next_;
    QPlainTextEdit* statement_;
};

class KeyDialog final : public StatementDialog {
public:
    explicit KeyDialog(DialogHost& host) : StatementDialog(host, "Key", Run::CloseOnSuccess) {
        auto* form = new QFormLayout;
        body()->addLayout(form);
        key_ = addField(form, "Key String:", q(initialKeyString(workspace().data.layout)));
        key_->setMinimumWidth(360);
        // One character per response column: they must line up.
        key_->setFont(paneFont());
        scoredAs_ = addField(form, "To be scored as:", "1");
        addButtons();
    }
    QString statement() override { return q(composeKey(fieldOf(key_), fieldOf(scoredAs_))); }

private:
    QLineEdit* key_;
    QLineEdit* scoredAs_;
};

// The names selected in a list of explicit variables, in list order.
std::vector<MString> selectedNames(const QListWidget* list) {
    std::vector<MString> names;
    for (int row = 0; row < list->count(); ++row)
        if (list->item(row)->isSelected()) names.push_back(toMString(list->item(row)->text()));
    return names;
}

class MissingDialog final : public StatementDialog {
public:
    explicit MissingDialog(DialogHost& host)
        : StatementDialog(host, "Missing Values for Explicit Variables", Run::CloseOnSuccess),
          variables_(workspace().data.layout.explicitVariables) {
        list_ = addList(body(), "variables", explicitVariableNames(workspace().data.layout), true);
        blanks_ = addCheck(body(), "Blanks", false);
        period_ = addCheck(body(), "Period", false);
        auto* form = new QFormLayout;
        body()->addLayout(form);
        other_ = addField(form, "Other Missing Codes", QString());
        connect(list_, &QListWidget::itemSelectionChanged, this, [this] { showSelected(); });
        addButtons();
    }
    QString statement() override {
        return q(composeMissing({blanks_->isChecked(), period_->isChecked(), fieldOf(other_)}, selectedNames(list_)));
    }

private:
    // One selected variable shows its codes; any other selection shows none.
    void showSelected() {
        const QList<QListWidgetItem*> selected = list_->selectedItems();
        MissingFields fields;
        if (selected.size() == 1) {
            const int row = list_->row(selected[0]);
            if (row >= 0 && row < static_cast<int>(variables_.size()))
                fields = missingFieldsOf(variables_[static_cast<std::size_t>(row)]);
        }
        blanks_->setChecked(fields.blanks);
        period_->setChecked(fields.period);
        other_->setText(q(fields.otherCodes));
    }

    std::vector<ExplicitVariable> variables_;
    QListWidget* list_;
    QCheckBox* blanks_;
    QCheckBox* period_;
    QLineEdit* other_;
};

class CaseWeightDialog final : public StatementDialog {
public:
    explicit CaseWeightDialog(DialogHost& host)
        : StatementDialog(host, "Set Weight variable", Run::CloseOnSuccess) {
        const bool weighted = !currentCaseWeight(workspace()).isEmpty();
        QButtonGroup* radios = addRadios(body(), "", {"Do not weight cases", "Weight cases by:"});
        radios->button(weighted ? 1 : 0)->setChecked(true);
        list_ = addList(body(), "variables", explicitVariableNames(workspace().data.layout), false);
        list_->setEnabled(weighted);
        auto* status = new QLabel(q(caseWeightStatus(workspace())), this);
        status->setObjectName("status");
        body()->addWidget(status);
        connect(radios, &QButtonGroup::idClicked, this, [this](int id) { list_->setEnabled(id == 1); });
        connect(list_, &QListWidget::itemSelectionChanged, this, [this] {
            const QList<QListWidgetItem*> selected = list_->selectedItems();
            if (!selected.isEmpty()) chosen_ = selected.front()->text();
        });
        addButtons();
    }
    QString statement() override { return q(composeCaseWeight(toMString(chosen_))); }

protected:
    void ok() override {
        if (chosen_.isEmpty()) {
            host().session().informationBox(kNoWeightMessage);
            accept();
            return;
        }
        runStatement(statement());
    }
    void paste() override {
        host().pasteStatement(statement());
        chosen_.clear();
        list_->clearSelection();
    }

private:
    QListWidget* list_;
    QString chosen_;
};

// "Select Regression Variables" and "Select Grouping Variables".
class VariablesDialog final : public StatementDialog {
public:
    VariablesDialog(DialogHost& host, const QString& title, MString (*compose)(const std::vector<MString>&))
        : StatementDialog(host, title, Run::CloseOnSuccess), compose_(compose) {
        list_ = addList(body(), "variables", explicitVariableNames(workspace().data.layout), true);
        addButtons();
    }
    QString statement() override { return q(compose_(selectedNames(list_))); }

protected:
    void paste() override {
        const QString text = statement();
        if (!text.isEmpty()) host().pasteStatement(text);
    }

private:
    QListWidget* list_;
    MString (*compose_)(const std::vector<MString>&);
};

class ModelDialog final : public StatementDialog {
public:
    explicit ModelDialog(DialogHost& host) : StatementDialog(host, "Build Model", Run::CloseOnSuccess) {
        statement_ = addStatementField(kModelStart);
        auto* row = new QHBoxLayout;
        body()->addLayout(row);
        list_ = addList(row, "variables", modelDialogNames(workspace().data.layout), false);
        auto* column = new QVBoxLayout;
        row->addLayout(column);
        connect(addButton("Add var", column), &QPushButton::clicked, this, [this] { addSelected(); });
        for (char op : {'+', '*', '-'})
            connect(addButton(QString(op), column), &QPushButton::clicked, this,
                    [this, op] { statement_->setPlainText(q(modelAddOperator(fieldOf(statement_), op))); });
        column->addStretch();
        connect(list_, &QListWidget::itemDoubleClicked, this, [this] { addSelected(); });
        addButtons();
    }
    QString statement() override { return q(fieldOf(statement_)); }

private:
    void addSelected() {
        QListWidgetItem* item = list_->currentItem();
        if (item == nullptr || !item->isSelected()) return;
        statement_->setPlainText(q(modelAddName(fieldOf(statement_), toMString(item->text()))));
    }

    QPlainTextEdit* statement_;
    QListWidget* list_;
};

class FormatDialog final : public StatementDialog {
public:
    explicit FormatDialog(DialogHost& host) : StatementDialog(host, "Building Format", Run::CloseOnSuccess) {
        statement_ = addStatementField(kFormatStart);
        auto* row = new QHBoxLayout;
        body()->addLayout(row);
        types_ = addRadios(row, "Variable Type", {"Explicit Variable", "Response", "Implicit Variable"});
        auto* entries = new QVBoxLayout;
        row->addLayout(entries);
        form_ = new QFormLayout;
        entries->addLayout(form_);
        name_ = addField(form_, "Name of variable:", QString());
        start_ = addField(form_, "Start Column", QString());
        end_ = addField(form_, "End Column", QString());
        width_ = addField(form_, "Width", QString());
        levels_ = addField(form_, "Number of Levels:", QString());
        auto* buttons = new QHBoxLayout;
        entries->addLayout(buttons);
        add_ = addButton("Add to format ", buttons);
        record_ = addButton("  /  ", buttons);
        comma_ = addButton("  ,  ", buttons);
        entries->addStretch();
        connect(types_, &QButtonGroup::idClicked, this, [this](int id) { choose(id + 1); });
        connect(add_, &QPushButton::clicked, this, [this] {
            const FormatFields fields{fieldOf(name_), fieldOf(start_), fieldOf(end_), fieldOf(width_),
                                      fieldOf(levels_)};
            statement_->setPlainText(q(formatAdd(fieldOf(statement_), type_, fields)));
        });
        connect(record_, &QPushButton::clicked, this,
                [this] { statement_->setPlainText(q(formatInsertAtHead(fieldOf(statement_), '/'))); });
        connect(comma_, &QPushButton::clicked, this,
                [this] { statement_->setPlainText(q(formatInsertAtHead(fieldOf(statement_), ','))); });
        choose(0);
        addButtons();
        pasteCloses_ = true;
    }
    QString statement() override { return q(fieldOf(statement_)); }

private:
    // Shows the entry controls of the chosen type, all empty.
    void choose(int type) {
        type_ = static_cast<FormatVariableType>(type);
        const bool explicitType = type_ == FormatVariableType::Explicit;
        const bool response = type_ == FormatVariableType::Response;
        const bool implicitType = type_ == FormatVariableType::Implicit;
        const std::pair<QLineEdit*, bool> shown[] = {{name_, explicitType || implicitType},
                                                     {start_, explicitType || response},
                                                     {end_, explicitType || response},
                                                     {width_, response},
                                                     {levels_, implicitType}};
        for (const auto& [field, on] : shown) {
            field->clear();
            form_->setRowVisible(field, on);
        }
        add_->setVisible(type_ != FormatVariableType::None);
        record_->setVisible(explicitType || response);
        comma_->setVisible(response);
    }

    QPlainTextEdit* statement_;
    QButtonGroup* types_;
    QFormLayout* form_;
    QLineEdit* name_;
    QLineEdit* start_;
    QLineEdit* end_;
    QLineEdit* width_;
    QLineEdit* levels_;
    QPushButton* add_;
    QPushButton* record_;
    QPushButton* comma_;
    FormatVariableType type_ = FormatVariableType::None;
};

}  // namespace

bool openDataDialog(CommandDialog dialog, DialogHost& host, Prompter& prompter) {
    const Workspace& ws = host.session().ws;
    using C = CommandDialog;
    switch (dialog) {
        case C::Title: openDialog<OneFieldDialog>(prompter, host, "Title", "Title:", ws.title, &composeTitle); break;
        case C::Codes:
            openDialog<OneFieldDialog>(prompter, host, "Valid Code List", "Enter a comma seperated list:",
                                       codeListText(ws), &composeCodes);
            break;
        case C::Recode: {
            LevelDialog select(host, "Select Variables to Recode");
            select.addNextButton("Specify Recodes", [] { return true; });
            if (prompter.runDialog(select) == QDialog::Accepted)
                openDialog<RecodingDialog>(prompter, host, select.clause());
            break;
        }
        case C::ScoringNonKey: {
            LevelDialog select(host, "Select Variables to Score");
            QLineEdit* field = select.addDimensionsField(ws.build.dimensions);
            int dimensions = 0;
            select.addNextButton("Specify Scores", [&] {
                dimensions = dimensionsFieldValue(fieldOf(field));
                if (dimensions > 0) return true;
                host.session().errorReport(kDimensionsMessage);
                return false;
            });
            if (prompter.runDialog(select) == QDialog::Accepted)
                openDialog<ScoringDialog>(prompter, host, select.clause(), dimensions);
            break;
        }
        case C::ScoringKey: openDialog<KeyDialog>(prompter, host); break;
        case C::Delete: {
            LevelDialog d(host, "Select Variables to Delete");
            d.addDeleteButtons();
            prompter.runDialog(d);
            break;
        }
        case C::MissingValues: openDialog<MissingDialog>(prompter, host); break;
        case C::CaseWeight: openDialog<CaseWeightDialog>(prompter, host); break;
        case C::RegressionModel:
            openDialog<VariablesDialog>(prompter, host, "Select Regression Variables", &composeRegression);
            break;
        case C::GroupingVariables:
            openDialog<VariablesDialog>(prompter, host, "Select Grouping Variables", &composeGroup);
            break;
        case C::Model: openDialog<ModelDialog>(prompter, host); break;
        case C::Format: openDialog<FormatDialog>(prompter, host); break;
        default: return false;
    }
    return true;
}

}  // namespace ordena::gui
