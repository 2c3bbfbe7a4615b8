// The menu items that compose statements: the statement each runs with the
// path its file dialog gives, the dialog's filter and default extension, a
// cancelled dialog, and which items need an estimate.
#include <QMenuBar>
#include <QRegularExpression>

#include "command/command_table.h"
#include "command/session.h"
#include "gui_test.h"

namespace ordena::gui::test {

namespace {

struct Expected {
    MenuStatement id;
    const char* statement;  // the statement, the path follows it
    char dialog;            // 'S' save, 'O' open, ' ' none
    const char* extension;
    const char* filter;
};

const char* const kTxt = "Text Files (*.txt)|*.txt|All Files (*.*)|*.*||";

// The items as the workbench's users know them.
const Expected kExpected[] = {
    {MenuStatement::SummaryTable, "show parameters!table=1", ' ', "", ""},
    {MenuStatement::ItemParameterEstimates, "show parameters!table=2", ' ', "", ""},
    {MenuStatement::PopulationParameterEstimates, "show parameters!table=3", ' ', "", ""},
    {MenuStatement::CombinedItemDifficultyMap, "show parameters!table=4", ' ', "", ""},
    {MenuStatement::GinThresholdMap, "show parameters!table=5", ' ', "", ""},
    {MenuStatement::GinThresholdTable, "show parameters!table=7", ' ', "", ""},
    {MenuStatement::ByDimensionItemDifficultyMaps, "show parameters!table=9", ' ', "", ""},
    {MenuStatement::EstimatesCovarianceMatrix, "show parameters!table=10", ' ', "", ""},
    {MenuStatement::EquivalenceMle, "equivalence mle", ' ', "", ""},
    {MenuStatement::EquivalenceWle, "equivalence wle ", ' ', "", ""},
    {MenuStatement::WriteThresholdFile, "show parameters!table=7 >>", 'S', "TXT", kTxt},
    {MenuStatement::WriteDeltaFile, "show parameters!table=8 >>", 'S', "TXT", kTxt},
    {MenuStatement::WritePlausibleValueFile, "show cases!estimates=latent >>", 'S', "TXT", kTxt},
    {MenuStatement::WriteEapFile, "show cases!estimates=eap >>", 'S', "EAP",
     "EAP Files (*.eap)|*.eap|Text Files (*.txt)|*.txt|All Files (*.*)|*.*||"},
    {MenuStatement::WriteMleFile, "show cases!estimates=mle >>", 'S', "MLE",
     "MLE Files (*.mle)|*.mle|Text Files (*.txt)|*.txt|All Files (*.*)|*.*||"},
    {MenuStatement::WriteWleFile, "show cases!estimates=wle >>", 'S', "WLE",
     "WLE Files (*.wle)|*.wle|Text Files (*.txt)|*.txt|All Files (*.*)|*.*||"},
    {MenuStatement::EquivalenceFileMle, "equivalence mle >>", 'S', "EQV",
     "EQV Files (*.eqv)|*.eqv|Text Files (*.txt)|*.txt|All Files (*.*)|*.*||"},
    {MenuStatement::EquivalenceFileWle, "equivalence wle >>", 'S', "EQV",
     "EQV Files (*.eqv)|*.eqv|Text Files (*.txt)|*.txt|All Files (*.*)|*.*||"},
    {MenuStatement::ExportTraditionalItemStatistics, "itanal !format=export>>", 'S', "TXT", kTxt},
    {MenuStatement::Fit, "fit ", 'O', "DES",
     "Design Files (*.des)|*.DES|Text Files (*.txt)|*.TXT|ALL Files (*.*)|*.*||"},
    {MenuStatement::ExportItemParameters, "export parameters>>", 'S', "TXT", kTxt},
    {MenuStatement::ExportRegressionParameters, "export reg_coefficients>>", 'S', "TXT", kTxt},
    {MenuStatement::ExportCovariance, "export covariance>>", 'S', "TXT", kTxt},
    {MenuStatement::ExportDesignMatrix, "export designmatrix>>", 'S', "DES",
     "Design Matrices (*.des)|*.des|All Files (*.*)|*.*||"},
    {MenuStatement::ExportScoredData, "export scoreddata>>", 'S', "dat",
     "Data files (*.dat)|*.dat|All Files (*.*)|*.*||"},
    {MenuStatement::ImportItemAnchors, "import anchor_parameters<<", 'O', "TXT", kTxt},
    {MenuStatement::ImportItemInitialValues, "import init_parameters<<", 'O', "TXT", kTxt},
    {MenuStatement::ImportRegressionAnchors, "import anchor_reg_coefficients<<", 'O', "TXT", kTxt},
    {MenuStatement::ImportRegressionInitialValues, "import init_reg_coefficients<<", 'O', "TXT", kTxt},
    {MenuStatement::ImportCovarianceAnchors, "import anchor_covariance<<", 'O', "TXT", kTxt},
    {MenuStatement::ImportCovarianceInitialValues, "import init_covariance<<", 'O', "TXT", kTxt},
    {MenuStatement::ImportDesignMatrix, "import designmatrix<<", 'O', "DES",
     "Design Matrices (*.des)|*.des|Text Files (*.txt)|*.txt|All Files (*.*)|*.*||"},
    {MenuStatement::Labels, "labels <<", 'O', "LAB",
     "Label Files (*.lab)|*.lab|Text Files (*.txt)|*.txt|All Files (*.*)|*.*||"},
    {MenuStatement::SaveSystemFile, "put>>", 'S', "ZRS",
     "Ordena System Files (*.zrs)|*.zrs|All Files (*.*)|*.*||"},
    {MenuStatement::GetSystemFile, "get <<", 'O', "ZRS", "System Files (*.zrs)|*.zrs|All Files (*.*)|*.*||"},
    {MenuStatement::SubmitCommands, "submit ", 'O', "ZRC",
     "Command Files (*.zrc)|*.zrc|Text Files (*.txt)|*.txt|All Files (*.*)|*.*||"},
    {MenuStatement::ExportLogFile, "export logfile>>", 'S', "ZRL", "Log files (*.zrl)|*.zrl|All Files (*.*)|*.*||"},
    {MenuStatement::DataFile, "datafile ", 'O', "DAT",
     "Data Files (*.dat)|*.DAT|Text Files (*.txt)|*.TXT|ALL Files (*.*)|*.*||"},
    {MenuStatement::Reset, "reset", ' ', "", ""},
};

QString itemName(MenuStatement id) { return "statement." + QString::number(static_cast<int>(id)); }

// The echo of a statement: "=>", the statement with runs of blanks as one, ";".
QString echo(QString statement) { return "=>" + statement.replace(QRegularExpression(" +"), " ") + ";\r\n"; }

int succeed(Session&, const MString&) { return 1; }

void replaceHandler(Session& session, const char* word) {
    for (int k = 0; k < kCommandCount; ++k)
        if (QString(kCommandWords[k]) == word) session.handlers[static_cast<std::size_t>(k)] = &succeed;
}

}  // namespace

class MenuStatementTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { quietOffscreen(); }

    void everyItemRunsItsStatement() {
        Scratch s;
        s.copyExample("demo.dat");
        s.write("commands.zrc", "title Submitted;\n");
        Bench b;
        QCOMPARE(std::size(kExpected), static_cast<std::size_t>(MenuStatement::Count));
        for (const Expected& e : kExpected)
            QCOMPARE(b.enabled(itemName(e.id)), !menuStatement(e.id).needsEstimate);
        QVERIFY(b.runAll(exampleScript()));
        int k = 0;
        for (const Expected& e : kExpected) {
            QVERIFY2(b.enabled(itemName(e.id)), e.statement);
            QString path;
            if (e.dialog != ' ') {
                path = s.path(e.id == MenuStatement::SubmitCommands ? "commands.zrc"
                                                                      : "file" + QString::number(++k) + ".out");
                b.prompter.fileAnswers = {path};
            }
            const std::size_t dialogs = b.prompter.fileDialogs.size();
            b.window->action("command.clearoutput")->trigger();
            b.window->action(itemName(e.id))->trigger();
            QVERIFY(b.waitIdle());
            if (e.dialog == ' ') {
                QCOMPARE(b.prompter.fileDialogs.size(), dialogs);
            } else {
                QCOMPARE(b.prompter.fileDialogs.size(), dialogs + 1);
                const FileDialogSeen& d = b.prompter.fileDialogs.back();
                QCOMPARE(d.save, e.dialog == 'S');
                QCOMPARE(d.filter, QString(e.filter));
                QCOMPARE(d.defaultExtension, QString(e.extension));
            }
            const QString written = b.output();
            if (e.id == MenuStatement::Reset) {
                // The reset clears the pane after its echo.
                QCOMPARE(written, QString());
                continue;
            }
            QVERIFY2(written.startsWith(echo(e.statement + path)),
                     qPrintable(written.left(200) + " | " + echo(e.statement + path)));
            if (e.id == MenuStatement::SubmitCommands) QVERIFY(written.contains("=>title Submitted;"));
        }
        // The reset took the estimate: the items that need one are off.
        QVERIFY(!b.enabled(itemName(MenuStatement::SummaryTable)));
        QVERIFY(!b.enabled(itemName(MenuStatement::Fit)));
        QVERIFY(b.enabled(itemName(MenuStatement::ExportItemParameters)));
    }

    void aCancelledDialogRunsNothing() {
        Scratch s;
        Bench b;
        QVERIFY(b.runAll("title x;"));
        b.window->action(itemName(MenuStatement::DataFile))->trigger();
        QVERIFY(!b.window->busy());
        QCOMPARE(b.prompter.fileDialogs.size(), std::size_t(1));
        QCOMPARE(b.output(), QString("=>title x;\r\n"));
        b.window->action("command.clearoutput")->trigger();
        QCOMPARE(b.output(), QString());
    }

    // A system file saved or loaded from the menus becomes the most recent file.
    void systemFilesJoinTheRecentFiles() {
        Scratch s;
        Bench b;
        b.prompter.fileAnswers = {s.path("failed.zrs")};
        b.window->runMenuStatement(MenuStatement::SaveSystemFile);
        QVERIFY(b.waitIdle());
        QVERIFY(b.window->recentFiles().slot(0).empty());  // the statement failed
        replaceHandler(b.window->session(), "put");
        replaceHandler(b.window->session(), "get");
        b.prompter.fileAnswers = {s.path("one.zrs")};
        b.window->runMenuStatement(MenuStatement::SaveSystemFile);
        QVERIFY(b.waitIdle());
        b.prompter.fileAnswers = {s.path("two.zrs")};
        b.window->runMenuStatement(MenuStatement::GetSystemFile);
        QVERIFY(b.waitIdle());
        QCOMPARE(QString::fromStdString(b.window->recentFiles().slot(0)), s.path("two.zrs"));
        QCOMPARE(QString::fromStdString(b.window->recentFiles().slot(1)), s.path("one.zrs"));
        QCOMPARE(b.window->action("recent.1")->text(), "&1 " + s.path("two.zrs"));
        QVERIFY(b.enabled("recent.2"));
        QVERIFY(!b.enabled("recent.3"));
        QCOMPARE(b.window->action("recent.3")->text(), QString("Recent File"));
    }

    // The dialog items stay in their menus, off until their dialogs exist.
    void dialogItemsWaitForTheirDialogs() {
        Scratch s;
        Bench b;
        const QList<QAction*> all = b.window->findChildren<QAction*>();
        int dialogItems = 0;
        for (QAction* a : all) {
            if (!a->objectName().startsWith("dialog.")) continue;
            ++dialogItems;
            QVERIFY(!a->isEnabled());
        }
        QCOMPARE(dialogItems, static_cast<int>(CommandDialog::Count));
        QString pasted;
        b.window->registerDialog(CommandDialog::Title, [&](DialogHost& host) {
            host.pasteStatement("title From the dialog");
            pasted = b.window->inputPane()->toPlainText();
        });
        QVERIFY(b.enabled("dialog.0"));
        b.window->action("dialog.0")->trigger();
        QCOMPARE(pasted, QString("title From the dialog;\n"));
    }

    void filtersReadAsTheDialogExpects() {
        QCOMPARE(qtFileFilter("Command Files (*.zrc)|*.zrc|All Files (*.*)|*.*||"),
                 QString("Command Files (*.zrc);;All Files (*)"));
        QCOMPARE(qtFileFilter("Design Files (*.des)|*.DES|Text Files (*.txt)|*.TXT|ALL Files (*.*)|*.*||"),
                 QString("Design Files (*.DES);;Text Files (*.TXT);;ALL Files (*)"));
        QCOMPARE(withDefaultExtension("/tmp/a/run", "ZRS"), QString("/tmp/a/run.zrs"));
        QCOMPARE(withDefaultExtension("/tmp/a.b/run.txt", "ZRS"), QString("/tmp/a.b/run.txt"));
        QCOMPARE(withDefaultExtension("/tmp/a.b/run", "dat"), QString("/tmp/a.b/run.dat"));
    }
};

static Register<MenuStatementTest> registered;

}  // namespace ordena::gui::test

#include "menu_statement_test.moc"
