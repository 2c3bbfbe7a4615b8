// The dialogs of settings and analyses: "System Settings", "Estimate",
// "Traditional Item Statistics", "Latent Descriptives" and the two "Plot"
// forms. All but the short plot form close before their statement runs.
#include <QAbstractButton>
#include <QButtonGroup>
#include <QCheckBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/compose/analysis_dialogs.h"
#include "app/compose/dialog_fields.h"
#include "app/compose/estimate_dialog.h"
#include "app/compose/settings_dialog.h"
#include "app/gui/gui_shell.h"
#include "app/gui/prompter.h"
#include "app/gui/statement_dialog.h"
#include "command/session.h"

namespace ordena::gui {

namespace {

using Run = StatementDialog::Run;

// The radio buttons of the two settings groups, in the dialog's order, by
// the setting's code.
constexpr int kConstraintCodes[] = {kConstraintsDefault, kConstraintsCases, kConstraintsNone, kConstraintsItems};
constexpr int kRespMissCodes[] = {kRespMissNone, kRespMissBoth, kRespMissDot, kRespMissBlank};

template <std::size_t N>
int indexOf(const int (&codes)[N], int code) {
    for (std::size_t k = 0; k < N; ++k)
        if (codes[k] == code) return static_cast<int>(k);
    return 0;
}

void check(QButtonGroup* group, int id) {
    if (QAbstractButton* b = group->button(id)) b->setChecked(true);
}

class SettingsDialog final : public StatementDialog {
public:
    explicit SettingsDialog(DialogHost& host) : StatementDialog(host, "System Settings", Run::CloseFirst) {
        auto* row = new QHBoxLayout;
        body()->addLayout(row);
        auto* form = new QFormLayout;
        row->addLayout(form);
        seed_ = addField(form, "Random Seed", QString());
        buffersize_ = addField(form, "Output Window Buffer Size", QString());
        fitdraws_ = addField(form, "Number of random draws to use when calculating fit statistics", QString());
        iterlimit_ = addField(form, "Maximum iterations wiithout improvement", QString());
        pNodes_ = addField(form, "Number of nodes to use when drawing plausible values", QString());
        nPlausible_ = addField(form, "Number of plausible values to draw", QString());
        fNodes_ = addField(form, "Number of nodes to use when calculating fit statistics", QString());
        innerloops_ = addField(form, "Newton steps in M-Step", QString());
        mleCriteria_ = addField(form, "Convergence criterion for case MLEs", QString());
        zeroPerfect_ = addField(form, "Value for obtaining finite MLEs for perfects and zeros", QString());
        keyDefault_ = addField(form, "Default code for non-key matches", QString());
        auto* side = new QVBoxLayout;
        row->addLayout(side);
        update_ = addCheck(side, "Update estimates every iteration", false);
        warnings_ = addCheck(side, "Enable warnings", false);
        logestimates_ = addCheck(side, "Log Estimates", false);
        keeplastests_ = addCheck(side, "Always keep last estimates", false);
        constraints_ = addRadios(side, "Constraint Types", {"Default", "Cases", "None", "Items"});
        respmiss_ = addRadios(side, "Response Missing Codes", {"None", "Blank && Dot", "Dot", "Blank"});
        side->addStretch();
        show(settingsFields(workspace().settings));
        connect(addButton("Defaults"), &QPushButton::clicked, this, [this] { show(settingsFields(Settings{})); });
        addButtons();
    }
    QString statement() override {
        SettingsFields f;
        f.seed = fieldOf(seed_);
        f.buffersize = fieldOf(buffersize_);
        f.fitdraws = fieldOf(fitdraws_);
        f.iterlimit = fieldOf(iterlimit_);
        f.p_nodes = fieldOf(pNodes_);
        f.n_plausible = fieldOf(nPlausible_);
        f.f_nodes = fieldOf(fNodes_);
        f.innerloops = fieldOf(innerloops_);
        f.mle_criteria = fieldOf(mleCriteria_);
        f.zero_perfect = fieldOf(zeroPerfect_);
        f.key_default = fieldOf(keyDefault_);
        f.update = update_->isChecked();
        f.warnings = warnings_->isChecked();
        f.logestimates = logestimates_->isChecked();
        f.keeplastests = keeplastests_->isChecked();
        f.constraints = kConstraintCodes[std::max(0, constraints_->checkedId())];
        f.respmiss = kRespMissCodes[std::max(0, respmiss_->checkedId())];
        return q(composeSet(f, workspace().settings));
    }

protected:
    // Nothing changed: nothing to paste either.
    void paste() override {
        const QString text = statement();
        if (!text.isEmpty()) host().pasteStatement(text);
    }

private:
    void show(const SettingsFields& f) {
        seed_->setText(q(f.seed));
        buffersize_->setText(q(f.buffersize));
        fitdraws_->setText(q(f.fitdraws));
        iterlimit_->setText(q(f.iterlimit));
        pNodes_->setText(q(f.p_nodes));
        nPlausible_->setText(q(f.n_plausible));
        fNodes_->setText(q(f.f_nodes));
        innerloops_->setText(q(f.innerloops));
        mleCriteria_->setText(q(f.mle_criteria));
        zeroPerfect_->setText(q(f.zero_perfect));
        keyDefault_->setText(q(f.key_default));
        update_->setChecked(f.update);
        warnings_->setChecked(f.warnings);
        logestimates_->setChecked(f.logestimates);
        keeplastests_->setChecked(f.keeplastests);
        check(constraints_, indexOf(kConstraintCodes, f.constraints));
        check(respmiss_, indexOf(kRespMissCodes, f.respmiss));
    }

    QLineEdit *seed_, *buffersize_, *fitdraws_, *iterlimit_, *pNodes_, *nPlausible_, *fNodes_, *innerloops_;
    QLineEdit *mleCriteria_, *zeroPerfect_, *keyDefault_;
    QCheckBox *update_, *warnings_, *logestimates_, *keeplastests_;
    QButtonGroup *constraints_, *respmiss_;
};

class EstimateDialog final : public StatementDialog {
public:
    explicit EstimateDialog(DialogHost& host) : StatementDialog(host, "Estimate", Run::CloseFirst) {
        auto* row = new QHBoxLayout;
        body()->addLayout(row);
        auto* left = new QVBoxLayout;
        row->addLayout(left);
        auto* form = new QFormLayout;
        left->addLayout(form);
        nodes_ = addField(form, "Number of nodes", QString());
        minNode_ = addField(form, "Minimum node", QString());
        maxNode_ = addField(form, "Maximum node", QString());
        alpha_ = addField(form, "Alpha", QString());
        convergence_ = addField(form, "Convergence criterion", QString());
        deviance_ = addField(form, "Deviance change criterion", QString());
        iterations_ = addField(form, "Maximum iterations", QString());
        fit_ = addCheck(left, "Fit statistics", true);
        abilities_ = addCheck(left, "Cases statistics", true);
        left->addStretch();
        auto* choices = new QVBoxLayout;
        row->addLayout(choices);
        method_ = addRadios(choices, "Method", {"Gauss Quadrature", "Bock/Aitken", "Monte Carlo", "JML"});
        distribution_ = addRadios(choices, "Latent Distribution", {"Normal", "Discrete"}, &distributionBox_);
        stdErr_ = addRadios(choices, "Standard Errors", {"Quick", "Full", "None"}, &stdErrBox_);
        show(estimateFields(workspace().est.options));
        connect(method_, &QButtonGroup::idClicked, this, [this](int id) {
            EstimateFields f = fields();
            chooseEstimateMethod(f, static_cast<EstimateMethodChoice>(id));
            show(f);
        });
        connect(distribution_, &QButtonGroup::idClicked, this, [this](int id) {
            EstimateFields f = fields();
            chooseEstimateDistribution(f, static_cast<Distribution>(id));
            show(f);
        });
        // "Defaults" changes the workspace's options at once, even when the
        // dialog is then cancelled.
        connect(addButton("Defaults"), &QPushButton::clicked, this, [this] {
            this->host().session().ws.est.options = EstimateOptions{};
            show(estimateFields(workspace().est.options));
        });
        addButtons();
    }
    QString statement() override { return q(composeEstimate(fields())); }

private:
    EstimateFields fields() const {
        EstimateFields f;
        f.nodes = fieldOf(nodes_);
        f.minNode = fieldOf(minNode_);
        f.maxNode = fieldOf(maxNode_);
        f.iterations = fieldOf(iterations_);
        f.convergence = fieldOf(convergence_);
        f.devianceChange = fieldOf(deviance_);
        f.alpha = fieldOf(alpha_);
        f.method = static_cast<EstimateMethodChoice>(std::max(0, method_->checkedId()));
        f.distribution = static_cast<Distribution>(std::max(0, distribution_->checkedId()));
        f.stdErr = static_cast<StdErrMode>(std::max(0, stdErr_->checkedId()));
        f.fit = fit_->isChecked();
        f.abilities = abilities_->isChecked();
        return f;
    }
    void show(const EstimateFields& f) {
        nodes_->setText(q(f.nodes));
        minNode_->setText(q(f.minNode));
        maxNode_->setText(q(f.maxNode));
        iterations_->setText(q(f.iterations));
        convergence_->setText(q(f.convergence));
        deviance_->setText(q(f.devianceChange));
        alpha_->setText(q(f.alpha));
        check(method_, static_cast<int>(f.method));
        check(distribution_, static_cast<int>(f.distribution));
        check(stdErr_, static_cast<int>(f.stdErr));
        fit_->setChecked(f.fit);
        abilities_->setChecked(f.abilities);
        const EstimateEnabled on = estimateEnabled(f.method);
        nodes_->setEnabled(on.nodes);
        minNode_->setEnabled(on.minMaxNode);
        maxNode_->setEnabled(on.minMaxNode);
        deviance_->setEnabled(on.devianceChange);
        distributionBox_->setEnabled(on.distribution);
        stdErrBox_->setEnabled(on.stdErr);
        fit_->setEnabled(on.fit);
        abilities_->setEnabled(on.abilities);
    }

    QLineEdit *nodes_, *minNode_, *maxNode_, *alpha_, *convergence_, *deviance_, *iterations_;
    QCheckBox *fit_, *abilities_;
    QButtonGroup *method_, *distribution_, *stdErr_;
    QGroupBox* distributionBox_ = nullptr;
    QGroupBox* stdErrBox_ = nullptr;
};

// The case-estimate choices of itanal, descriptives and plot: the radio
// buttons from `first` on, EAP and plausible values disabled under joint
// maximum likelihood.
void presetEstimateChoices(QButtonGroup* group, const Workspace& ws, int first) {
    for (QAbstractButton* b : group->buttons()) {
        const auto choice = static_cast<CaseEstimateChoice>(group->id(b) + first);
        b->setEnabled(estimateChoiceEnabled(ws, choice));
        b->setChecked(choice == preselectedEstimate(ws));
    }
}

class ItanalDialog final : public StatementDialog {
public:
    explicit ItanalDialog(DialogHost& host) : StatementDialog(host, "Traditional Item Statistics", Run::CloseFirst) {
        types_ = addRadios(body(), "Estimate Types", {"None", "WLE", "MLE", "EAP", "Plausible Values"});
        presetEstimateChoices(types_, workspace(), 0);
        addButtons();
    }
    QString statement() override {
        return q(composeItanal(static_cast<CaseEstimateChoice>(std::max(0, types_->checkedId()))));
    }

private:
    QButtonGroup* types_;
};

// A list of texts that a field adds to: "Add" and "Remove".
struct EditableList {
    QCheckBox* check;
    QLineEdit* field;
    QPushButton* add;
    QPushButton* remove;
    QListWidget* list;

    std::vector<MString> entries() const {
        std::vector<MString> texts;
        for (int row = 0; row < list->count(); ++row) texts.push_back(toMString(list->item(row)->text()));
        return texts;
    }
    void enable(bool on) const {
        for (QWidget* w : std::initializer_list<QWidget*>{field, add, remove, list}) w->setEnabled(on);
    }
};

// The grouping variables in effect at the last data pass, behind their
// check box; checking it selects the first.
struct GroupChoice {
    QCheckBox* check;
    QListWidget* list;

    MString selected() const {
        if (!check->isChecked() || !check->isEnabled()) return MString();
        QListWidgetItem* item = list->currentItem();
        return item != nullptr && item->isSelected() ? toMString(item->text()) : MString();
    }
};

class DescriptivesDialog final : public StatementDialog {
public:
    explicit DescriptivesDialog(DialogHost& host) : StatementDialog(host, "Latent Descriptives", Run::CloseFirst) {
        auto* row = new QHBoxLayout;
        body()->addLayout(row);
        auto* left = new QVBoxLayout;
        row->addLayout(left);
        types_ = addRadios(left, "Estimate Type", {"WLE", "MLE", "EAP", "Plausible Values"});
        presetEstimateChoices(types_, workspace(), 1);
        benchmark_ = addCheck(left, "Benchmark", false);
        auto* form = new QFormLayout;
        left->addLayout(form);
        location_ = addField(form, "Location", QString());
        uncertainty_ = addField(form, "Uncertainty (SD)", "0.0");
        replications_ = addField(form, "Replications", "1000");
        group_ = {addCheck(left, "Use Group Variable", false), nullptr};
        group_.list = addList(left, "groups", lastGroupVariableNames(workspace()), false);
        percentiles_ = addEditableList(row, "Percentiles");
        bands_ = addEditableList(row, "Bands");
        connect(benchmark_, &QCheckBox::toggled, this, [this](bool on) {
            for (QLineEdit* f : {location_, uncertainty_, replications_}) f->setEnabled(on);
        });
        connect(group_.check, &QCheckBox::toggled, this, [this](bool on) {
            group_.list->setEnabled(on);
            if (on && group_.list->count() > 0) group_.list->setCurrentRow(0);
        });
        for (QLineEdit* f : {location_, uncertainty_, replications_}) f->setEnabled(false);
        group_.list->setEnabled(false);
        addButtons();
    }
    QString statement() override {
        DescriptivesFields f;
        f.estimates = static_cast<CaseEstimateChoice>(std::max(0, types_->checkedId()) + 1);
        f.group = group_.selected();
        f.benchmark = benchmark_->isChecked();
        f.location = fieldOf(location_);
        f.uncertainty = fieldOf(uncertainty_);
        f.replications = fieldOf(replications_);
        f.percentiles = percentiles_.check->isChecked();
        f.percentileList = percentiles_.entries();
        f.bands = bands_.check->isChecked();
        f.bandList = bands_.entries();
        return q(composeDescriptives(f));
    }

protected:
    // This dialog's paste starts on a line of its own.
    void paste() override { host().pasteStatement("\n" + statement()); }

private:
    EditableList addEditableList(QBoxLayout* into, const QString& caption) {
        auto* column = new QVBoxLayout;
        into->addLayout(column);
        EditableList e{};
        e.check = addCheck(column, caption, false);
        e.field = new QLineEdit(this);
        e.field->setObjectName(caption + ".field");
        e.field->setMaxLength(kFieldCharacters);
        column->addWidget(e.field);
        auto* buttons = new QHBoxLayout;
        column->addLayout(buttons);
        e.add = addButton("Add", buttons);
        e.add->setObjectName(caption + ".Add");
        e.remove = addButton("Remove", buttons);
        e.remove->setObjectName(caption + ".Remove");
        e.list = addList(column, caption + ".list", {}, false);
        e.enable(false);
        connect(e.check, &QCheckBox::toggled, this, [e](bool on) { e.enable(on); });
        connect(e.add, &QPushButton::clicked, this, [e] {
            if (e.field->text().isEmpty()) return;
            e.list->addItem(q(fieldOf(e.field)));
            e.field->clear();
        });
        connect(e.remove, &QPushButton::clicked, this, [e] {
            QListWidgetItem* item = e.list->currentItem();
            if (item != nullptr && item->isSelected()) delete e.list->takeItem(e.list->row(item));
        });
        return e;
    }

    QButtonGroup* types_;
    QCheckBox* benchmark_;
    QLineEdit *location_, *uncertainty_, *replications_;
    GroupChoice group_{};
    EditableList percentiles_{}, bands_{};
};

class PlotDialog final : public StatementDialog {
public:
    PlotDialog(DialogHost& host, PlotType type) : StatementDialog(host, "Plot", Run::CloseFirst), type_(type) {
        auto* row = new QHBoxLayout;
        body()->addLayout(row);
        auto* left = new QVBoxLayout;
        row->addLayout(left);
        auto* form = new QFormLayout;
        left->addLayout(form);
        items_ = addField(form, "Item List (Generalised):", "all");
        bins_ = addField(form, "Number of Ability Groups", "10");
        lower_ = addField(form, "Lower", "-5");
        upper_ = addField(form, "Upper", "5");
        minScale_ = addField(form, "Min", QString());
        maxScale_ = addField(form, "Max", QString());
        // Left empty, the plot takes the range of the estimates.
        minScale_->setPlaceholderText("automatic");
        maxScale_->setPlaceholderText("automatic");
        raw_ = addCheck(left, "Include Raw Data", true);
        smooth_ = addCheck(left, "Smooth Raw Data", true);
        smooth_->setEnabled(false);
        overlay_ = addCheck(left, "Overlay Plot", false);
        legend_ = addCheck(left, "Show Legend", false);
        table_ = addCheck(left, "Show Data Table", false);
        auto* right = new QVBoxLayout;
        row->addLayout(right);
        group_ = {addCheck(right, "Use Group Variable", false), nullptr};
        group_.list = addList(right, "groups", lastGroupVariableNames(workspace()), false);
        types_ = addRadios(right, "Estimate Types", {"WLE", "MLE", "EAP", "Plausible Values"});
        presetEstimateChoices(types_, workspace(), 1);
        bintype_ = addRadios(right, "Ability Groups", {"Equal Group Size", "Equal Group Width"}, &bintypeBox_);
        check(bintype_, 0);
        connect(raw_, &QCheckBox::toggled, this, [this] { enable(); });
        connect(group_.check, &QCheckBox::toggled, this, [this](bool on) {
            enable();
            if (on && group_.list->count() > 0) group_.list->setCurrentRow(0);
        });
        connect(bintype_, &QButtonGroup::idClicked, this, [this] { enable(); });
        enable();
        addButtons();
    }
    QString statement() override {
        PlotFields f;
        f.items = fieldOf(items_);
        f.bins = fieldOf(bins_);
        f.lower = fieldOf(lower_);
        f.upper = fieldOf(upper_);
        f.minScale = fieldOf(minScale_);
        f.maxScale = fieldOf(maxScale_);
        f.raw = raw_->isChecked();
        f.overlay = overlay_->isChecked();
        f.legend = legend_->isChecked();
        f.table = table_->isChecked();
        f.estimates = static_cast<CaseEstimateChoice>(std::max(0, types_->checkedId()) + 1);
        f.equalWidth = bintype_->checkedId() == 1;
        f.group = group_.selected();
        return q(composePlot(type_, f));
    }

private:
    // "Smooth Raw Data" stays off as shown; the rest follows the raw data,
    // the group and the group type.
    void enable() {
        const bool raw = raw_->isChecked();
        group_.check->setEnabled(raw);
        group_.list->setEnabled(raw && group_.check->isChecked());
        bintypeBox_->setEnabled(raw);
        const bool width = raw && bintype_->checkedId() == 1;
        lower_->setEnabled(width);
        upper_->setEnabled(width);
    }

    PlotType type_;
    QLineEdit *items_, *bins_, *lower_, *upper_, *minScale_, *maxScale_;
    QCheckBox *raw_, *smooth_, *overlay_, *legend_, *table_;
    GroupChoice group_{};
    QButtonGroup *types_, *bintype_;
    QGroupBox* bintypeBox_ = nullptr;
};

class PlotShortDialog final : public StatementDialog {
public:
    PlotShortDialog(DialogHost& host, PlotType type)
        : StatementDialog(host, "Plot", Run::CloseOnSuccess), type_(type) {
        auto* form = new QFormLayout;
        body()->addLayout(form);
        items_ = addField(form, "Item List (Generalised):", "all");
        low_ = addField(form, "Low", "-4");
        high_ = addField(form, "High", "4");
        overlay_ = addCheck(body(), "Overlay Plot", false);
        legend_ = addCheck(body(), "Show Legend", false);
        addButtons();
    }
    QString statement() override {
        const PlotShortFields f{fieldOf(items_), fieldOf(low_), fieldOf(high_), overlay_->isChecked(),
                                legend_->isChecked()};
        return q(composePlotShort(type_, f));
    }

private:
    PlotType type_;
    QLineEdit *items_, *low_, *high_;
    QCheckBox *overlay_, *legend_;
};

}  // namespace

bool openAnalysisDialog(CommandDialog dialog, DialogHost& host, Prompter& prompter) {
    using C = CommandDialog;
    switch (dialog) {
        case C::Set: openDialog<SettingsDialog>(prompter, host); return true;
        case C::Estimate: openDialog<EstimateDialog>(prompter, host); return true;
        case C::TraditionalItemStatistics: openDialog<ItanalDialog>(prompter, host); return true;
        case C::LatentDescriptives: openDialog<DescriptivesDialog>(prompter, host); return true;
        case C::PlotIcc: openDialog<PlotDialog>(prompter, host, PlotType::Icc); return true;
        case C::PlotExpected: openDialog<PlotDialog>(prompter, host, PlotType::Expected); return true;
        case C::PlotCcc: openDialog<PlotDialog>(prompter, host, PlotType::Ccc); return true;
        case C::PlotMcc: openDialog<PlotDialog>(prompter, host, PlotType::Mcc); return true;
        case C::PlotTcc: openDialog<PlotShortDialog>(prompter, host, PlotType::Tcc); return true;
        case C::PlotIinfo: openDialog<PlotShortDialog>(prompter, host, PlotType::Iinfo); return true;
        case C::PlotTinfo: openDialog<PlotShortDialog>(prompter, host, PlotType::Tinfo); return true;
        default: return false;
    }
}

}  // namespace ordena::gui
