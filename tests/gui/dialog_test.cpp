// The command dialogs, opened from their menu items over the example data
// and filled in as a user would: the statement each runs or pastes,
// character for character, the dialogs that stay open when their
// statement fails, and the controls that enable and disable others.
#include <QButtonGroup>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSet>

#include "app/gui/command_dialogs.h"
#include "app/gui/curvana/graph_window.h"
#include "command/session.h"
#include "estimation/estimate_command.h"
#include "gui_test.h"

namespace ordena::gui::test {

namespace {

const char* const kSpecification =
    "datafile demo.dat; format id 1-4 group 6 responses 8-19; codes 0,1,2; model item + item*step;";

// Stands between the dialogs and the window, recording each statement that
// is run or pasted exactly as the dialog handed it over.
class RecordingHost final : public DialogHost {
public:
    explicit RecordingHost(MainWindow& window) : window_(window) {}
    Session& session() override { return window_.session(); }
    void pasteStatement(const QString& statement) override {
        pasted.push_back(statement);
        window_.pasteStatement(statement);
    }
    bool runStatement(const QString& statement, std::function<void(int)> done) override {
        run.push_back(statement);
        return window_.runStatement(statement, std::move(done));
    }
    std::vector<QString> pasted;
    std::vector<QString> run;

private:
    MainWindow& window_;
};

// A workbench whose dialog items open the dialogs over a recording host.
class DialogBench : public Bench {
public:
    DialogBench() : host(*window) {
        for (int k = 0; k < static_cast<int>(CommandDialog::Count); ++k) {
            const auto d = static_cast<CommandDialog>(k);
            window->registerDialog(d, [this, d](DialogHost&) { openCommandDialog(d, host, prompter); });
        }
    }
    // Chooses the menu item; user plays each dialog that opens (shown, so
    // that it behaves as on the screen). False when no dialog opened.
    bool open(CommandDialog d, const std::function<void(QDialog&)>& user) {
        int opened = 0;
        prompter.onDialog = [&](QDialog& dialog) {
            ++opened;
            dialog.show();
            user(dialog);
            dialog.hide();
        };
        window->action("dialog." + QString::number(static_cast<int>(d)))->trigger();
        prompter.onDialog = nullptr;
        waitIdle();
        return opened > 0;
    }
    // OK of a dialog that waits for its statement's result.
    void press(QDialog& dialog, const QString& button) {
        click(dialog, button);
        waitIdle();
    }
    static void click(QDialog& dialog, const QString& button) {
        auto* b = dialog.findChild<QAbstractButton*>(button);
        if (b == nullptr) QFAIL(qPrintable("no button " + button));
        b->click();
    }
    RecordingHost host;
};

template <class T>
T* control(QDialog& dialog, const QString& name) {
    T* w = dialog.findChild<T*>(name);
    if (w == nullptr) qWarning("no control %s in %s", qPrintable(name), qPrintable(dialog.windowTitle()));
    return w;
}
QLineEdit* field(QDialog& d, const QString& name) { return control<QLineEdit>(d, name); }
QListWidget* list(QDialog& d, const QString& name) { return control<QListWidget>(d, name); }
QAbstractButton* button(QDialog& d, const QString& name) { return control<QAbstractButton>(d, name); }
QString statementField(QDialog& d) { return control<QPlainTextEdit>(d, "statement")->toPlainText(); }

void select(QListWidget* l, const std::vector<QString>& texts) {
    for (const QString& t : texts) {
        const QList<QListWidgetItem*> found = l->findItems(t, Qt::MatchExactly);
        if (!found.isEmpty()) found.front()->setSelected(true);
    }
}

bool accepted(const QDialog& d) { return d.result() == QDialog::Accepted; }

// Every button, group and labelled field of the dialog has an Alt letter
// of its own.
void checkMnemonics(QDialog& dialog) {
    QStringList texts;
    for (QAbstractButton* b : dialog.findChildren<QAbstractButton*>()) texts << b->text();
    for (QGroupBox* g : dialog.findChildren<QGroupBox*>())
        if (!g->title().isEmpty()) texts << g->title();
    for (QLabel* l : dialog.findChildren<QLabel*>())
        if (l->buddy() != nullptr) texts << l->text();
    QSet<QChar> letters;
    QStringList without;
    for (const QString& t : texts) {
        const int at = QString(t).replace("&&", "__").indexOf('&');
        if (at < 0) {
            without << t;
            continue;
        }
        const QChar letter = t[at + 1].toLower();
        QVERIFY2(!letters.contains(letter), qPrintable(dialog.windowTitle() + ": " + t));
        letters.insert(letter);
    }
    // One goes without only when every character it has is another's.
    for (const QString& t : without)
        for (QChar c : t)
            if (!c.isSpace() && c != '&')
                QVERIFY2(letters.contains(c.toLower()), qPrintable(dialog.windowTitle() + ": " + t));
    QVERIFY2(texts.size() >= 2, qPrintable(dialog.windowTitle()));  // a button that runs, and Cancel
    // Most have one even in the largest dialog.
    QVERIFY2(without.size() * 3 <= texts.size(), qPrintable(dialog.windowTitle() + ": " + without.join(" | ")));
}

}  // namespace

class DialogTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { quietOffscreen(); }

    // Every item opens its dialog; every one-line field holds at most 99
    // characters, so what is read is what the user sees.
    void everyItemOpensItsDialog() {
        Scratch s;
        s.copyExample("demo.dat");
        DialogBench b;
        QVERIFY(b.runAll(QString(kSpecification) + "group group; estimate ! iter=3;"));
        const std::pair<CommandDialog, const char*> expected[] = {
            {CommandDialog::Title, "Title"},
            {CommandDialog::Format, "Building Format"},
            {CommandDialog::Delete, "Select Variables to Delete"},
            {CommandDialog::CaseWeight, "Set Weight variable"},
            {CommandDialog::MissingValues, "Missing Values for Explicit Variables"},
            {CommandDialog::Codes, "Valid Code List"},
            {CommandDialog::Recode, "Select Variables to Recode"},
            {CommandDialog::ScoringKey, "Key"},
            {CommandDialog::ScoringNonKey, "Select Variables to Score"},
            {CommandDialog::Model, "Build Model"},
            {CommandDialog::RegressionModel, "Select Regression Variables"},
            {CommandDialog::GroupingVariables, "Select Grouping Variables"},
            {CommandDialog::Set, "System Settings"},
            {CommandDialog::Estimate, "Estimate"},
            {CommandDialog::LatentDescriptives, "Latent Descriptives"},
            {CommandDialog::TraditionalItemStatistics, "Traditional Item Statistics"},
            {CommandDialog::PlotIcc, "Plot"},
            {CommandDialog::PlotTcc, "Plot"},
            {CommandDialog::PlotIinfo, "Plot"},
            {CommandDialog::PlotTinfo, "Plot"},
            {CommandDialog::PlotExpected, "Plot"},
            {CommandDialog::PlotCcc, "Plot"},
            {CommandDialog::PlotMcc, "Plot"},
        };
        QCOMPARE(std::size(expected), static_cast<std::size_t>(CommandDialog::Count));
        for (const auto& [d, title] : expected) {
            QVERIFY2(b.enabled("dialog." + QString::number(static_cast<int>(d))), title);
            QString seen;
            int fields = 0;
            QVERIFY(b.open(d, [&](QDialog& dialog) {
                seen = dialog.windowTitle();
                for (QLineEdit* f : dialog.findChildren<QLineEdit*>()) {
                    QCOMPARE(f->maxLength(), 99);
                    ++fields;
                }
                checkMnemonics(dialog);
            }));
            QCOMPARE(seen, QString(title));
            if (d != CommandDialog::Delete && d != CommandDialog::RegressionModel &&
                d != CommandDialog::GroupingVariables && d != CommandDialog::Recode &&
                d != CommandDialog::CaseWeight && d != CommandDialog::TraditionalItemStatistics &&
                d != CommandDialog::Model && d != CommandDialog::Format)
                QVERIFY2(fields > 0, title);
        }
        // Cancelled dialogs ran and pasted nothing.
        QVERIFY(b.host.run.empty());
        QVERIFY(b.host.pasted.empty());
        // A field longer than 99 characters cannot be typed.
        QVERIFY(b.open(CommandDialog::Title, [&](QDialog& d) {
            field(d, "Title:")->clear();
            QTest::keyClicks(field(d, "Title:"), QString(120, 'x'));
            QCOMPARE(field(d, "Title:")->text(), QString(99, 'x'));
            b.press(d, "OK");
        }));
        QCOMPARE(b.host.run.back(), "Title " + QString(99, 'x'));
        QCOMPARE(b.window->session().ws.title.str(), std::string(99, 'x'));
    }

    void titleCodesAndKey() {
        Scratch s;
        s.copyExample("demo.dat");
        DialogBench b;
        QVERIFY(b.runAll(kSpecification));
        QVERIFY(b.open(CommandDialog::Title, [&](QDialog& d) {
            QCOMPARE(field(d, "Title:")->text(), QString(kDefaultTitle));
            field(d, "Title:")->setText("Wellbeing, first run");
            b.press(d, "OK");
            QVERIFY(accepted(d));
        }));
        QCOMPARE(b.host.run.back(), QString("Title Wellbeing, first run"));
        QCOMPARE(b.window->session().ws.title.str(), std::string("Wellbeing, first run"));

        QVERIFY(b.open(CommandDialog::Codes, [&](QDialog& d) {
            QCOMPARE(field(d, "Enter a comma seperated list:")->text(), QString("0,1,2"));
            field(d, "Enter a comma seperated list:")->setText("0,1,2,3");
            b.click(d, "Paste");
            QVERIFY(d.isVisible());  // Paste leaves it open
        }));
        QCOMPARE(b.window->inputPane()->toPlainText(), QString("datafile demo.dat; format id 1-4 group 6 "
                                                               "responses 8-19; codes 0,1,2; model item + "
                                                               "item*step;codes 0,1,2,3;\n"));
        // Twelve items of width one: twelve "*".
        QVERIFY(b.open(CommandDialog::ScoringKey, [&](QDialog& d) {
            QCOMPARE(field(d, "Key String:")->text(), QString(12, '*'));
            QCOMPARE(field(d, "To be scored as:")->text(), QString("1"));
            field(d, "Key String:")->setText("012012012012");
            b.click(d, "Paste");
        }));
        QCOMPARE(b.host.pasted.back(), QString("key 012012012012 ! \"1\""));
    }

    // Recode and scoring: the selection's clause, the recomposed statement.
    void recodeAndScore() {
        Scratch s;
        s.copyExample("demo.dat");
        DialogBench b;
        QVERIFY(b.runAll(kSpecification));
        QVERIFY(b.open(CommandDialog::Recode, [&](QDialog& d) {
            if (d.windowTitle() == "Select Variables to Recode") {
                QCOMPARE(list(d, "levels")->count(), 12);
                QCOMPARE(list(d, "levels")->item(0)->text(), QString("item(1)"));
                select(list(d, "levels"), {"item(2)", "item(1)"});
                b.click(d, "Specify Recodes");
                return;
            }
            QCOMPARE(d.windowTitle(), QString("Recoding"));
            QCOMPARE(field(d, "From Codes")->text(), QString("0,1,2"));
            QCOMPARE(field(d, "To Codes")->text(), QString("0,1,2"));
            field(d, "To Codes")->setText("0,0,1");
            QCOMPARE(statementField(d), QString("recode (0,1,2) (0,0,1) !item(1,2)"));
            b.press(d, "OK");
            QVERIFY(accepted(d));
        }));
        QCOMPARE(b.host.run.back(), QString("recode (0,1,2) (0,0,1) !item(1,2)"));
        QVERIFY(b.output().contains("=>recode (0,1,2) (0,0,1) !item(1,2);"));

        int opened = 0;
        QVERIFY(b.open(CommandDialog::ScoringNonKey, [&](QDialog& d) {
            ++opened;
            if (d.windowTitle() == "Select Variables to Score") {
                QCOMPARE(field(d, "Number of dimensions:")->text(), QString("1"));
                select(list(d, "levels"), {"item(3)"});
                field(d, "Number of dimensions:")->setText("none");
                b.click(d, "Specify Scores");
                QVERIFY(!accepted(d));
                QCOMPARE(b.prompter.boxes.back().text, QString("The number of dimensions must be a positive integer"));
                QCOMPARE(b.prompter.boxes.back().title, QString("Error"));
                field(d, "Number of dimensions:")->setText("2");
                b.click(d, "Specify Scores");
                QVERIFY(accepted(d));
                return;
            }
            QCOMPARE(d.windowTitle(), QString("Scoring"));
            QVERIFY(!button(d, "Previous")->isEnabled());
            QCOMPARE(field(d, "scores")->text(), QString("0,1,2"));
            b.click(d, "Next");
            QVERIFY(!button(d, "Next")->isEnabled());
            QCOMPARE(field(d, "scores")->text(), QString());
            field(d, "scores")->setText("0,0,1");
            QCOMPARE(statementField(d), QString("score (0,1,2)  (0,1,2)  (0,0,1) !item(3)"));
            b.click(d, "Previous");
            QCOMPARE(field(d, "scores")->text(), QString("0,1,2"));
            b.click(d, "Paste");
        }));
        QCOMPARE(opened, 2);
        QCOMPARE(b.host.pasted.back(), QString("score (0,1,2)  (0,1,2)  (0,0,1) !item(3)"));
    }

    void deleteMissingWeightAndVariables() {
        Scratch s;
        s.copyExample("demo.dat");
        DialogBench b;
        QVERIFY(b.runAll(kSpecification));
        // Delete's Paste closes the dialog.
        QVERIFY(b.open(CommandDialog::Delete, [&](QDialog& d) {
            select(list(d, "levels"), {"item(5)", "item(2)"});
            b.click(d, "Paste");
            QVERIFY(accepted(d));
        }));
        QCOMPARE(b.host.pasted.back(), QString("delete !item(2,5)"));

        QVERIFY(b.open(CommandDialog::MissingValues, [&](QDialog& d) {
            auto* blanks = control<QCheckBox>(d, "Blanks");
            auto* period = control<QCheckBox>(d, "Period");
            select(list(d, "variables"), {"group"});
            // One variable shows its codes: the defaults, blank and dot.
            QVERIFY(blanks->isChecked());
            QVERIFY(period->isChecked());
            QCOMPARE(field(d, "Other Missing Codes")->text(), QString());
            field(d, "Other Missing Codes")->setText("9");
            select(list(d, "variables"), {"id"});
            QVERIFY(!blanks->isChecked());  // two selected: nothing shown
            blanks->click();
            period->click();
            field(d, "Other Missing Codes")->setText("9");
            b.press(d, "OK");
            QVERIFY(accepted(d));
        }));
        QCOMPARE(b.host.run.back(), QString("missing blank, dot, 9! id, group"));
        const ExplicitVariable& group = b.window->session().ws.data.layout.explicitVariables[1];
        QCOMPARE(static_cast<int>(group.missingCodes.size()), 3);
        QVERIFY(b.open(CommandDialog::MissingValues, [&](QDialog& d) {
            select(list(d, "variables"), {"group"});
            QCOMPARE(field(d, "Other Missing Codes")->text(), QString("9"));
            list(d, "variables")->clearSelection();
            b.click(d, "Paste");  // none selected: only the end of a statement
        }));
        QCOMPARE(b.host.pasted.back(), QString());
        QVERIFY(b.window->inputPane()->toPlainText().endsWith("delete !item(2,5);\n;\n"));

        // Weights requested without a variable: the box, and nothing runs.
        const std::size_t runs = b.host.run.size();
        QVERIFY(b.open(CommandDialog::CaseWeight, [&](QDialog& d) {
            QCOMPARE(control<QLabel>(d, "status")->text(), QString("Current Status: Cases not weighted"));
            QVERIFY(!list(d, "variables")->isEnabled());
            b.click(d, "OK");
            QVERIFY(accepted(d));
        }));
        QCOMPARE(b.host.run.size(), runs);
        QCOMPARE(b.prompter.boxes.back().text, QString("Weights requested, but a weight variable was not selected"));
        QCOMPARE(b.prompter.boxes.back().title, QString("General"));
        QVERIFY(b.open(CommandDialog::CaseWeight, [&](QDialog& d) {
            button(d, "Weight cases by:")->click();
            QVERIFY(list(d, "variables")->isEnabled());
            select(list(d, "variables"), {"id"});
            b.press(d, "OK");
            QVERIFY(accepted(d));
        }));
        QCOMPARE(b.host.run.back(), QString("caseweight id"));
        QVERIFY(b.open(CommandDialog::CaseWeight, [&](QDialog& d) {
            QCOMPARE(control<QLabel>(d, "status")->text(), QString("Current weight is: id"));
            QVERIFY(static_cast<QRadioButton*>(button(d, "Weight cases by:"))->isChecked());
        }));

        // No selection: OK closes and runs nothing, Paste pastes nothing.
        const std::size_t pastes = b.host.pasted.size();
        QVERIFY(b.open(CommandDialog::RegressionModel, [&](QDialog& d) {
            b.click(d, "Paste");
            b.click(d, "OK");
            QVERIFY(accepted(d));
        }));
        QCOMPARE(b.host.pasted.size(), pastes);
        QCOMPARE(b.host.run.back(), QString("caseweight id"));
        QVERIFY(b.open(CommandDialog::GroupingVariables, [&](QDialog& d) {
            select(list(d, "variables"), {"group", "id"});
            b.press(d, "OK");
        }));
        QCOMPARE(b.host.run.back(), QString("group id, group"));
    }

    // "Build Model" stays open when its statement fails, so the user can mend it.
    void modelStaysOpenOnFailure() {
        Scratch s;
        s.copyExample("demo.dat");
        DialogBench b;
        QVERIFY(b.runAll(kSpecification));
        QVERIFY(b.open(CommandDialog::Model, [&](QDialog& d) {
            QListWidget* names = list(d, "variables");
            QStringList shown;
            for (int row = 0; row < names->count(); ++row) shown << names->item(row)->text();
            QCOMPARE(shown, QStringList({"group", "id", "item", "step"}));
            QCOMPARE(statementField(d), QString("model"));
            names->setCurrentRow(2);
            b.click(d, "Add var");
            b.click(d, "+");
            b.click(d, "+");
            QCOMPARE(statementField(d), QString("model item + +"));
            b.press(d, "OK");
            QVERIFY(!accepted(d));
            QVERIFY(d.isEnabled());
            QVERIFY(!b.prompter.boxes.empty());
            control<QPlainTextEdit>(d, "statement")->setPlainText("model item +");
            names->setCurrentRow(3);
            emit names->itemDoubleClicked(names->currentItem());
            QCOMPARE(statementField(d), QString("model item + step"));
            b.press(d, "OK");
            QVERIFY(accepted(d));
        }));
        QCOMPARE(b.host.run.size(), std::size_t(2));
        QCOMPARE(b.host.run.back(), QString("model item + step"));
    }

    void buildingFormat() {
        Scratch s;
        DialogBench b;
        QVERIFY(b.open(CommandDialog::Format, [&](QDialog& d) {
            QCOMPARE(statementField(d), QString("format"));
            QVERIFY(!button(d, "Add to format ")->isVisibleTo(&d));
            QVERIFY(!field(d, "Start Column")->isVisibleTo(&d));
            button(d, "Response")->click();
            QVERIFY(!field(d, "Name of variable:")->isVisibleTo(&d));
            QVERIFY(field(d, "Width")->isVisibleTo(&d));
            QVERIFY(button(d, "  ,  ")->isVisibleTo(&d));
            field(d, "Start Column")->setText("1");
            field(d, "End Column")->setText("10");
            b.click(d, "Add to format ");
            b.click(d, "  ,  ");
            button(d, "Response")->click();  // clears the fields
            QCOMPARE(field(d, "Start Column")->text(), QString());
            field(d, "Start Column")->setText("21");
            field(d, "End Column")->setText("30");
            field(d, "Width")->setText("2");
            b.click(d, "Add to format ");
            button(d, "Implicit Variable")->click();
            QVERIFY(!field(d, "Start Column")->isVisibleTo(&d));
            QVERIFY(!button(d, "  /  ")->isVisibleTo(&d));
            field(d, "Name of variable:")->setText("item");
            field(d, "Number of Levels:")->setText("10");
            b.click(d, "Add to format ");
            QCOMPARE(statementField(d), QString("format response 1-10, 21-30 (a2)! item(10)"));
            // An explicit variable goes before the "!".
            button(d, "Explicit Variable")->click();
            field(d, "Name of variable:")->setText("id");
            field(d, "Start Column")->setText("40");
            field(d, "End Column")->setText("40");
            b.click(d, "Add to format ");
            QCOMPARE(statementField(d), QString("format response 1-10, 21-30 (a2) id 40! item(10)"));
            b.click(d, "Paste");
            QVERIFY(accepted(d));  // Paste closes this one
        }));
        QCOMPARE(b.host.pasted.back(), QString("format response 1-10, 21-30 (a2) id 40! item(10)"));
        QCOMPARE(b.window->inputPane()->toPlainText(), QString("format response 1-10, 21-30 (a2) id 40! item(10);\n"));
    }

    // Nothing changed runs nothing (a bare "Set " would restore every
    // default); the seed alone gives "Set seed=7"; the dialog closes first.
    void systemSettings() {
        Scratch s;
        DialogBench b;
        QVERIFY(b.runAll("set warnings=no, iterlimit=40;"));
        QVERIFY(b.open(CommandDialog::Set, [&](QDialog& d) {
            QCOMPARE(field(d, "Maximum iterations wiithout improvement")->text(), QString("40"));
            QCOMPARE(field(d, "Convergence criterion for case MLEs")->text(), QString("0.00100"));
            QVERIFY(!control<QCheckBox>(d, "Enable warnings")->isChecked());
            QVERIFY(static_cast<QRadioButton*>(button(d, "Blank && Dot"))->isChecked());
            b.click(d, "OK");
            QVERIFY(accepted(d));
        }));
        QVERIFY(b.host.run.empty());
        QCOMPARE(b.window->session().ws.settings.iterlimit, 40);
        QVERIFY(b.open(CommandDialog::Set, [&](QDialog& d) {
            field(d, "Random Seed")->setText("7");
            b.click(d, "OK");
            QVERIFY(accepted(d));
        }));
        QCOMPARE(b.host.run.back(), QString("Set seed=7"));
        QCOMPARE(b.window->session().ws.settings.seed, 7);
        QCOMPARE(b.window->session().ws.settings.iterlimit, 40);
        // "Defaults" shows the defaults without running anything.
        QVERIFY(b.open(CommandDialog::Set, [&](QDialog& d) {
            b.click(d, "Defaults");
            QCOMPARE(field(d, "Random Seed")->text(), QString("1"));
            QVERIFY(control<QCheckBox>(d, "Enable warnings")->isChecked());
            button(d, "Items")->click();
            b.click(d, "Paste");
        }));
        QCOMPARE(b.host.run.size(), std::size_t(1));
        QCOMPARE(b.host.pasted.back(), QString("Set seed=1, iterlimit=100, constraint=items, warnings=yes"));
    }

    void estimateDialog() {
        Scratch s;
        s.copyExample("demo.dat");
        DialogBench b;
        QVERIFY(b.runAll(kSpecification));
        b.window->session().ws.est.options.iterations = 50;
        QVERIFY(b.open(CommandDialog::Estimate, [&](QDialog& d) {
            QCOMPARE(field(d, "Maximum iterations")->text(), QString("50"));
            QCOMPARE(field(d, "Number of nodes")->text(), QString("15"));
            QCOMPARE(field(d, "Convergence criterion")->text(), QString("0.00010"));
            QVERIFY(static_cast<QRadioButton*>(button(d, "Gauss Quadrature"))->isChecked());
            QVERIFY(!field(d, "Minimum node")->isEnabled());
            // "Defaults" puts the workspace's options back at once.
            b.click(d, "Defaults");
            QCOMPARE(b.window->session().ws.est.options.iterations, 1000);
            QCOMPARE(field(d, "Maximum iterations")->text(), QString("1000"));

            button(d, "JML")->click();
            QVERIFY(!control<QGroupBox>(d, "Latent Distribution")->isEnabled());
            QVERIFY(!control<QGroupBox>(d, "Standard Errors")->isEnabled());
            QVERIFY(!field(d, "Number of nodes")->isEnabled());
            QVERIFY(!field(d, "Deviance change criterion")->isEnabled());
            QVERIFY(control<QCheckBox>(d, "Cases statistics")->isChecked());
            QVERIFY(!control<QCheckBox>(d, "Cases statistics")->isEnabled());
            b.click(d, "Paste");
            button(d, "Bock/Aitken")->click();
            QVERIFY(control<QGroupBox>(d, "Standard Errors")->isEnabled());
            QVERIFY(field(d, "Minimum node")->isEnabled());
            button(d, "Discrete")->click();
            QVERIFY(static_cast<QRadioButton*>(button(d, "None"))->isChecked());
            b.click(d, "Paste");
            button(d, "Monte Carlo")->click();
            QCOMPARE(field(d, "Number of nodes")->text(), QString("1000"));
            QVERIFY(static_cast<QRadioButton*>(button(d, "Normal"))->isChecked());
            button(d, "Gauss Quadrature")->click();
            QCOMPARE(field(d, "Number of nodes")->text(), QString("15"));
            field(d, "Maximum iterations")->setText("3");
            control<QCheckBox>(d, "Fit statistics")->click();
            b.click(d, "OK");
            QVERIFY(accepted(d));  // closed before the estimate runs
            QVERIFY(b.window->busy() || !b.host.run.empty());
        }));
        QCOMPARE(b.host.pasted[0], QString("Estimate ! method=jml"));
        QCOMPARE(b.host.pasted[1], QString("Estimate ! stderr=none, method=quadrature, distribution=discrete, "
                                           "abilities=yes"));
        // Monte Carlo selected the normal distribution but left the errors as
        // the discrete one had set them: only a click on "Normal" chooses "Quick".
        QCOMPARE(b.host.run.back(), QString("Estimate ! iter=3, stderr=none, fit=no, abilities=yes"));
        QVERIFY(b.window->session().ws.est.estimated != 0);
    }

    // The analysis dialogs: estimate choices under joint maximum
    // likelihood, descriptives, and both plot forms.
    void analysisDialogs() {
        Scratch s;
        s.copyExample("demo.dat");
        DialogBench b;
        QVERIFY(b.runAll(QString(kSpecification) + "group group; estimate ! iter=3;"));
        b.window->inputPane()->clear();
        QVERIFY(b.open(CommandDialog::TraditionalItemStatistics, [&](QDialog& d) {
            QVERIFY(static_cast<QRadioButton*>(button(d, "Plausible Values"))->isChecked());
            button(d, "MLE")->click();
            b.click(d, "Paste");
        }));
        QCOMPARE(b.host.pasted.back(), QString("itanal ! estimates=mle"));
        QVERIFY(b.open(CommandDialog::LatentDescriptives, [&](QDialog& d) {
            QVERIFY(!field(d, "Location")->isEnabled());
            QVERIFY(!field(d, "Percentiles.field")->isEnabled());
            QCOMPARE(field(d, "Uncertainty (SD)")->text(), QString("0.0"));
            button(d, "EAP")->click();
            b.click(d, "Paste");
            control<QCheckBox>(d, "Benchmark")->click();
            field(d, "Location")->setText("0");
            control<QCheckBox>(d, "Percentiles")->click();
            for (const char* p : {"10", "50", "90"}) {
                field(d, "Percentiles.field")->setText(p);
                b.click(d, "Percentiles.Add");
            }
            QCOMPARE(field(d, "Percentiles.field")->text(), QString());
            list(d, "Percentiles.list")->setCurrentRow(1);
            b.click(d, "Percentiles.Remove");
            control<QCheckBox>(d, "Use Group Variable")->click();
            QCOMPARE(list(d, "groups")->currentItem()->text(), QString("group"));
            button(d, "Plausible Values")->click();
            b.click(d, "Paste");
        }));
        QCOMPARE(b.host.pasted[1], QString("\ndescriptives !estimates=eap"));
        QCOMPARE(b.host.pasted[2],
                 QString("\ndescriptives !estimates=pv,group=group,bench=0:0.0:1000,percentiles=10:90"));
        // This dialog's paste starts a line of its own.
        QCOMPARE(b.window->inputPane()->toPlainText(),
                 QString("itanal ! estimates=mle;\n\ndescriptives !estimates=eap;\n\n"
                         "descriptives !estimates=pv,group=group,bench=0:0.0:1000,percentiles=10:90;\n"));

        QVERIFY(b.open(CommandDialog::PlotIcc, [&](QDialog& d) {
            QVERIFY(!field(d, "Lower")->isEnabled());
            QVERIFY(!control<QCheckBox>(d, "Smooth Raw Data")->isEnabled());
            b.click(d, "Paste");
            button(d, "Equal Group Width")->click();
            QVERIFY(field(d, "Lower")->isEnabled());
            QVERIFY(field(d, "Upper")->isEnabled());
            control<QCheckBox>(d, "Include Raw Data")->click();
            QVERIFY(!field(d, "Lower")->isEnabled());
            QVERIFY(!control<QCheckBox>(d, "Use Group Variable")->isEnabled());
            QVERIFY(!control<QGroupBox>(d, "Ability Groups")->isEnabled());
            control<QCheckBox>(d, "Include Raw Data")->click();
            QVERIFY(field(d, "Lower")->isEnabled());  // follows the group type again
            field(d, "Item List (Generalised):")->setText("1");
            b.click(d, "OK");
            QVERIFY(accepted(d));
        }));
        // No sentinel scale: empty fields leave the scale to the plot.
        QCOMPARE(b.host.pasted.back(), QString("plot icc! gins=all,bins=10,mincut=-5,maxcut=5,"
                                               "raw=yes,overlay=no,legend=no,table=no,"
                                               "estimates=latent,bintype=size"));
        QCOMPARE(b.host.run.back(), QString("plot icc! gins=1,bins=10,mincut=-5,maxcut=5,"
                                            "raw=yes,overlay=no,legend=no,table=no,"
                                            "estimates=latent,bintype=width"));
        QVERIFY(b.window->curvanaWindow() != nullptr);

        // The short form waits for its statement: it stays open on failure.
        QVERIFY(b.open(CommandDialog::PlotTinfo, [&](QDialog& d) {
            field(d, "Low")->setText("x");
            b.press(d, "OK");
            QVERIFY(!accepted(d));
            field(d, "Low")->setText("-3");
            control<QCheckBox>(d, "Show Legend")->click();
            b.press(d, "OK");
            QVERIFY(accepted(d));
        }));
        QCOMPARE(b.host.run.back(), QString("plot tinfo! gins=all,minscale=-3,maxscale=4,overlay=no,legend=yes"));
        QCOMPARE(b.host.run[b.host.run.size() - 2],
                 QString("plot tinfo! gins=all,minscale=x,maxscale=4,overlay=no,legend=no"));
        // Low and High are where the curve is drawn: from -3 to 4.
        {
            const CGraph& g = b.window->curvanaWindow()->graphWindows().last()->graph();
            QVERIFY(!g.series.empty() && g.series[0].points.size() > 2);
            QCOMPARE(g.series[0].points.front().x, -3.0);
            QCOMPARE(g.series[0].points.back().x, 4.0);
        }

        // Under joint maximum likelihood there are no EAPs or plausible values.
        b.window->session().ws.est.method = EstimationMethod::Jml;
        for (CommandDialog dialog : {CommandDialog::TraditionalItemStatistics, CommandDialog::LatentDescriptives,
                                     CommandDialog::PlotIcc}) {
            QVERIFY(b.open(dialog, [&](QDialog& d) {
                QVERIFY(static_cast<QRadioButton*>(button(d, "WLE"))->isChecked());
                QVERIFY(!button(d, "EAP")->isEnabled());
                QVERIFY(!button(d, "Plausible Values")->isEnabled());
                QVERIFY(button(d, "MLE")->isEnabled());
            }));
        }
    }

    // A statement field longer than 99 characters runs and pastes whole:
    // the statement shown is the statement run.
    void statementFieldsRunWhatTheyShow() {
        Scratch s;
        s.copyExample("demo.dat");
        DialogBench b;
        QVERIFY(b.runAll(kSpecification));
        const QString model = "model item + item*step" + QString(80, ' ') + " + item - item + step";
        QVERIFY(model.size() > 110);
        QVERIFY(b.open(CommandDialog::Model, [&](QDialog& d) {
            control<QPlainTextEdit>(d, "statement")->setPlainText(model);
            b.click(d, "Paste");
            b.click(d, "+");
            QCOMPARE(statementField(d), model + " +");
            control<QPlainTextEdit>(d, "statement")->setPlainText(model);
            b.press(d, "OK");
        }));
        QCOMPARE(b.host.pasted.back(), model);
        QCOMPARE(b.host.run.back(), model);
        // The executor echoes it with its blanks collapsed: the last term is there.
        QVERIFY(b.output().contains("=>model item + item*step + item - item + step;"));
        const QString format = "format id 1-4 group 6 responses 8-19" + QString(70, ' ') + " ! item(12)";
        QVERIFY(b.open(CommandDialog::Format, [&](QDialog& d) {
            control<QPlainTextEdit>(d, "statement")->setPlainText(format);
            b.click(d, "  /  ");
            QCOMPARE(statementField(d), QString(format).replace("! item(12)", "/! item(12)"));
            b.click(d, "Paste");
        }));
        QCOMPARE(b.host.pasted.back(), QString(format).replace("! item(12)", "/! item(12)"));
    }

    // Left as it opens, Estimate composes the estimate in force, with the
    // digits its values need.
    void estimateDialogShowsTheEstimateInForce() {
        Scratch s;
        DialogBench b;
        EstimateOptions& o = b.window->session().ws.est.options;
        QCOMPARE(parseEstimateOptions(b.window->session(), "method=montecarlo, nodes=4000, convergence=0.000001", o), 1);
        QVERIFY(b.open(CommandDialog::Estimate, [&](QDialog& d) {
            QCOMPARE(field(d, "Number of nodes")->text(), QString("4000"));
            QCOMPARE(field(d, "Convergence criterion")->text(), QString("0.000001"));
            QVERIFY(static_cast<QRadioButton*>(button(d, "Monte Carlo"))->isChecked());
            b.click(d, "Paste");
        }));
        QCOMPARE(b.host.pasted.back(), QString("Estimate ! nodes=4000, conv=0.000001, method=montecarlo"));
    }

    // The key string lines up with the response columns; the plot form
    // shows no sentinel scale.
    void keyInAMonospaceFontAndNoSentinels() {
        Scratch s;
        s.copyExample("demo.dat");
        DialogBench b;
        QVERIFY(b.runAll(QString(kSpecification) + "estimate ! iter=2;"));
        QVERIFY(b.open(CommandDialog::ScoringKey, [&](QDialog& d) {
            const QFontMetricsF metrics(field(d, "Key String:")->font());
            for (QChar c : QString("iW*0"))
                QCOMPARE(metrics.horizontalAdvance(c), metrics.horizontalAdvance(QChar('m')));
        }));
        QVERIFY(b.open(CommandDialog::PlotIcc, [&](QDialog& d) {
            QCOMPARE(field(d, "Min")->text(), QString());
            QCOMPARE(field(d, "Max")->text(), QString());
        }));
    }
};

static Register<DialogTest> registered;

}  // namespace ordena::gui::test

#include "dialog_test.moc"
