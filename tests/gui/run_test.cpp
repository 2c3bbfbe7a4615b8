// Running scripts in the workbench: Run All and Run Selection, the output
// that reaches the pane, the busy state of the menus, Stop with its
// question, the progress window, and the exit statement.
#include <QMenuBar>
#include <QPushButton>
#include <QRegularExpression>

#include "app/gui/progress_window.h"
#include "command/command_table.h"
#include "command/reader.h"
#include "command/session.h"
#include "gui_test.h"
#include "support/capture_shell.h"

namespace ordena::gui::test {

namespace {

// Report headers carry the date and time of the run.
QString withoutClock(QString text) {
    static const QRegularExpression clock("[A-Z][a-z]{2} [A-Z][a-z]{2} [ 0-9][0-9] [0-9]{2}:[0-9]{2} [0-9]{4}");
    return text.replace(clock, "<date>");
}

// A long estimate of the example data: it goes on until stopped.
const char* const kLongEstimate =
    "datafile demo.dat; format id 1-4 group 6 responses 8-19; codes 0,1,2; model item + item*step;"
    "regression group; set iterlimit=100000;"
    "estimate ! iterations=100000, convergence=0, deviancechange=0;";

bool menuEnabled(MainWindow& w, const QString& title) {
    for (QAction* a : w.menuBar()->actions())
        if (a->text() == title) return a->isEnabled();
    return false;
}

}  // namespace

class RunTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { quietOffscreen(); }

    // The pane holds exactly what a session run by the core alone writes.
    void runAllShowsWhatTheSessionWrites() {
        Scratch s;
        s.copyExample("demo.dat");
        Bench b;
        QVERIFY(b.runAll(exampleScript()));
        QVERIFY(b.prompter.boxes.empty());

        QDir(s.path("")).mkdir("alone");
        QFile::copy(s.path("demo.dat"), s.path("alone/demo.dat"));
        QDir::setCurrent(s.path("alone"));
        ordena::test::CaptureShell capture;
        {
            Session session(capture);
            QCOMPARE(ordena::runAll(session, MString(exampleScript().toStdString())), 1);
        }
        QDir::setCurrent(s.path(""));
        QVERIFY(capture.output.size() > 20000);
        QCOMPARE(withoutClock(b.output()), withoutClock(QString::fromStdString(capture.output)));
        // The pane shows the same text with one line break per CR LF.
        QCOMPARE(b.window->outputPane()->toPlainText(), b.output().replace("\r\n", "\n"));

        QVERIFY(b.enabled("statement.0"));  // Tables > Summary Table needs the estimate made
        QVERIFY(b.enabled("run.all"));
        QVERIFY(!b.enabled("run.stop"));
        QCOMPARE(b.window->statusPaneText(2), QString("Warnings: YES"));
    }

    // Run Selection runs only the selected statements and keeps the workspace.
    void runSelectionKeepsTheWorkspace() {
        Scratch s;
        Bench b;
        QVERIFY(b.runAll("title First;"));
        b.window->inputPane()->setPlainText("title Second;\nset warnings=no;\ntitle Third;");
        QTextCursor c = b.window->inputPane()->textCursor();
        c.setPosition(0);
        c.movePosition(QTextCursor::Down, QTextCursor::KeepAnchor, 2);
        b.window->inputPane()->setTextCursor(c);
        b.window->runSelection();
        QVERIFY(b.waitIdle());
        QVERIFY(b.output().contains("=>title First;\r\n=>title Second;\r\n=>set warnings=no;\r\n"));
        QVERIFY(!b.output().contains("Third"));
        QCOMPARE(QString::fromStdString(b.window->session().ws.title.str()), QString("Second"));
        QCOMPARE(b.window->statusPaneText(2), QString("Warnings: NO"));
        // Run All starts again from a reset.
        QVERIFY(b.runAll("title Fourth;"));
        QCOMPARE(b.output(), QString("=>title Fourth;\r\n"));
        QCOMPARE(b.window->statusPaneText(2), QString("Warnings: YES"));
    }

    // Stop asks whether to interrupt: No goes on, Yes ends the statement.
    // Meanwhile the menus show the busy state and the progress window hides.
    void stopAnsweredNoThenYes() {
        Scratch s;
        s.copyExample("demo.dat");
        Bench b;
        struct Asked {
            bool progressVisible;
            QString iteration;
            QString items;
            QString lastItemChange;
            QString regressionValue;
        };
        std::vector<Asked> asked;
        std::vector<bool> busyMenus;
        b.prompter.onBox = [&](const BoxSeen& box) {
            if (box.text != kInterruptQuestion) return BoxAnswer::Ok;
            ProgressWindow* p = b.window->progressWindow();
            Asked a{p != nullptr && p->isVisible(), p ? p->fieldText("Iteration Number:") : QString(),
                    p ? p->fieldText("Items") : QString(), QString(),
                    p ? p->fieldText("Regression coefficients") : QString()};
            const QString out = b.output();
            const int at = out.lastIndexOf("Item parameter estimates ==> ");
            if (at >= 0) a.lastItemChange = out.mid(at + 29, 10).trimmed();
            asked.push_back(a);
            if (asked.size() == 1) {
                busyMenus = {menuEnabled(*b.window, "&File"),    menuEnabled(*b.window, "&Edit"),
                             menuEnabled(*b.window, "&Command"), menuEnabled(*b.window, "&Analysis"),
                             menuEnabled(*b.window, "&Tables"),  menuEnabled(*b.window, "&Run"),
                             menuEnabled(*b.window, "&Plot"),    menuEnabled(*b.window, "&Options"),
                             menuEnabled(*b.window, "&Help"),    b.enabled("run.all"),
                             b.enabled("run.selection"),         b.enabled("run.stop"),
                             b.enabled("file.save"),             b.enabled("options.progress"),
                             b.enabled("help.about")};
                return BoxAnswer::No;
            }
            return BoxAnswer::Yes;
        };
        QStringList statuses;
        connect(b.window.get(), &MainWindow::statusShown, this, [&](int pane, const QString& text) {
            if (pane == 0 && text.startsWith("Estimation")) statuses << text;
        });
        b.window->inputPane()->setPlainText(kLongEstimate);
        b.window->runAll();
        QVERIFY(b.window->busy());
        QTRY_VERIFY_WITH_TIMEOUT(b.window->progressWindow() != nullptr &&
                                     !b.window->progressWindow()->fieldText("Items").isEmpty(),
                                 60000);
        b.window->stop();
        QTRY_COMPARE_WITH_TIMEOUT(asked.size(), std::size_t(1), 60000);
        QTRY_COMPARE_WITH_TIMEOUT(statuses, QStringList{"Estimation Continuing"}, 60000);
        QVERIFY(b.window->busy());
        // Let two more iterations pass, then press the window's own button.
        const int first = asked[0].iteration.toInt();
        QTRY_VERIFY_WITH_TIMEOUT(b.window->progressWindow()->fieldText("Iteration Number:").toInt() >= first + 2,
                                 120000);
        QVERIFY(b.window->progressWindow()->isVisible());
        b.window->progressWindow()->stopButton()->click();
        QVERIFY(b.waitIdle());

        QCOMPARE(asked.size(), std::size_t(2));
        QCOMPARE(b.prompter.count(kInterruptQuestion), 2);
        const std::vector<bool> expectedMenus = {false, false, false, false, false, true, true, true,
                                                 true,  false, false, true,  false, true, true};
        QCOMPARE(busyMenus, expectedMenus);
        for (const Asked& a : asked) {
            QVERIFY(!a.progressVisible);
            // The window shows the changes printed last, to the same five decimals.
            QCOMPARE(a.items, a.lastItemChange);
        }
        QVERIFY(!asked[1].regressionValue.isEmpty());
        QVERIFY(asked[1].iteration.toInt() >= first + 2);
        // The stop stays in view: the status line keeps it after the
        // handler's own last texts, and the output pane records it.
        QCOMPARE(statuses, (QStringList{"Estimation Continuing", "Estimation Stopped", "Estimation Stopped"}));
        QCOMPARE(b.window->statusPaneText(0), QString("Estimation Stopped"));
        QVERIFY(b.output().endsWith("Estimation Stopped\r\n"));
        QCOMPARE(b.output().count("Estimation Stopped"), 1);
        QVERIFY(b.window->progressWindow() == nullptr);
        QVERIFY(!b.output().contains("Iterations will terminate"));
        QVERIFY(!b.enabled("run.stop"));
        QVERIFY(b.enabled("run.all"));
        QVERIFY(menuEnabled(*b.window, "&File"));
        QVERIFY(!b.enabled("statement.0"));  // no estimate: the tables stay off
        // The stop request was taken: the next run is not asked to stop.
        QVERIFY(b.runAll("title x;"));
        QCOMPARE(b.prompter.count(kInterruptQuestion), 2);
    }

    // Under joint maximum likelihood the window shows case and item changes.
    void jointMaximumLikelihoodRelabelsTheProgressWindow() {
        Scratch s;
        s.copyExample("demo.dat");
        Bench b;
        QStringList labels, fields;
        QString printedCase;
        b.prompter.onBox = [&](const BoxSeen& box) {
            if (box.text != kInterruptQuestion) return BoxAnswer::Ok;
            labels = b.window->progressWindow()->labels();
            fields = b.window->progressWindow()->fields();
            const QString out = b.output();
            const QString title = "Maximum for case parameter estimates ==> ";
            printedCase = out.mid(out.lastIndexOf(title) + title.size(), 10).trimmed();
            return BoxAnswer::Yes;
        };
        b.window->inputPane()->setPlainText(
            "datafile demo.dat; format id 1-4 group 6 responses 8-19; codes 0,1,2; model item + item*step;"
            "estimate ! method=jml, iterations=100000, convergence=0;");
        b.window->runAll();
        QTRY_VERIFY_WITH_TIMEOUT(b.window->progressWindow() != nullptr &&
                                     b.window->progressWindow()->fieldText("Iteration Number:").toInt() >= 2,
                                 60000);
        b.window->stop();
        QVERIFY(b.waitIdle());
        QCOMPARE(labels, (QStringList{"Iteration Number:", "Cases:", "Items:", "", ""}));
        QCOMPARE(fields[1], printedCase);
        QVERIFY(!fields[2].isEmpty());
        QCOMPARE(fields[3], QString());
        QCOMPARE(fields[4], QString());
        QVERIFY(b.window->progressWindow() == nullptr);
    }

    // Without Display Progress no progress window appears, and the question
    // is asked all the same; with warnings off the confirmation is not.
    void noProgressWindowWhenNotDisplayed() {
        Scratch s;
        s.copyExample("demo.dat");
        s.write("taken.txt", "x");
        Bench b;
        b.window->action("options.progress")->trigger();
        QVERIFY(!b.window->action("options.progress")->isChecked());
        bool windowSeen = false;
        b.prompter.onBox = [&](const BoxSeen& box) {
            windowSeen = windowSeen || b.window->progressWindow() != nullptr;
            return box.text == kInterruptQuestion ? BoxAnswer::Yes : BoxAnswer::Ok;
        };
        b.window->inputPane()->setPlainText(QString("set warnings=no; export parameters>>taken.txt;") +
                                            kLongEstimate);
        b.window->runAll();
        QTRY_VERIFY_WITH_TIMEOUT(b.output().contains("Iteration: 2 "), 60000);
        b.window->stop();
        QVERIFY(b.waitIdle());
        QVERIFY(!windowSeen);
        QCOMPARE(b.prompter.count(kInterruptQuestion), 1);
        for (const BoxSeen& box : b.prompter.boxes) QVERIFY(box.buttons != BoxButtons::OkCancel);
    }

    // An error report shows its box over the output written before it.
    void errorBoxesComeAfterTheOutputBeforeThem() {
        Scratch s;
        Bench b;
        QString outputAtBox;
        b.prompter.onBox = [&](const BoxSeen&) {
            outputAtBox = b.window->outputPane()->toPlainText();
            return BoxAnswer::Ok;
        };
        QVERIFY(b.runAll("title One; nonsense; title Two;"));
        QCOMPARE(b.prompter.boxes.size(), std::size_t(1));
        QCOMPARE(b.prompter.boxes[0].title, QString("Error"));
        QCOMPARE(b.prompter.boxes[0].icon, BoxIcon::Stop);
        // The message stays in the output pane after the failing statement.
        QCOMPARE(outputAtBox, QString("=>title One;\n=> nonsense;\nError: Unknown command or argument: 'nonsense'\n"));
        QVERIFY(!b.output().contains("Two"));
    }

    // exit runs the Exit command: the window closes and the list is saved.
    void exitStatementClosesTheWindow() {
        Scratch s;
        Bench b;
        QVERIFY(b.runAll("exit;"));
        QTRY_VERIFY(!b.window->isVisible());
        QVERIFY(QFile::exists(s.iniFile()));
    }

    // A condition that ends the program shows its message, saves the recent
    // files and removes the work files before the program ends.
    void fatalConditionsEndTheProgram() {
        Scratch s;
        s.copyExample("demo.dat");
        Bench b;
        QVERIFY(b.runAll("datafile demo.dat; format id 1-4 group 6 responses 8-19; codes 0,1,2; model item;"
                         "estimate ! iterations=2;"));
        QStringList workFiles = QDir(s.path("")).entryList({"scrf*"});
        QVERIFY(!workFiles.isEmpty());
        for (int k = 0; k < kCommandCount; ++k)
            if (QString(kCommandWords[k]) == "title")
                b.window->session().handlers[static_cast<std::size_t>(k)] = [](Session&, const MString&) -> int {
                    fatalExit("The end");
                };
        QVERIFY(b.window->runStatement("title x"));
        QVERIFY(b.waitIdle());
        QCOMPARE(b.prompter.boxes.back().text, QString("The end"));
        QCOMPARE(b.prompter.boxes.back().title, QString("Error"));
        QVERIFY(QFile::exists(s.iniFile()));
        QCOMPARE(QDir(s.path("")).entryList({"scrf*"}), QStringList());
    }

    // An exit cancelled at the save question leaves everything usable.
    void exitCancelledAtTheSaveQuestion() {
        Scratch s;
        Bench b;
        b.prompter.answers = {BoxAnswer::Cancel};
        b.window->inputPane()->setPlainText("title x; exit;");
        b.window->inputPane()->document()->setModified(true);
        b.window->runAll();
        QVERIFY(b.waitIdle());
        QVERIFY(b.window->isVisible());
        QCOMPARE(b.prompter.count("Document has been modified.\nSave Changes?"), 1);
        QVERIFY(!b.window->session().exitRequested);
        QVERIFY(b.runAll("title y;"));
        QCOMPARE(b.output(), QString("=>title y;\r\n"));
    }
};

static Register<RunTest> registered;

}  // namespace ordena::gui::test

#include "run_test.moc"
