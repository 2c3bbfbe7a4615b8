// The input pane as an editor: a failing statement selected at its line,
// the statement under the caret run alone, Find and Replace, the colours
// of a script, help on the statement under the caret, and the windows'
// places kept across starts.
#include <QAbstractTextDocumentLayout>
#include <QCheckBox>
#include <QLineEdit>
#include <QScreen>
#include <QSplitter>
#include <QTextBlock>
#include <QTreeWidget>

#include "app/gui/curvana/curvana_window.h"
#include "app/gui/curvana/graph_window.h"
#include "app/gui/find_bar.h"
#include "app/gui/help_window.h"
#include "app/gui/script_editor.h"
#include "command/command_table.h"
#include "command/script_syntax.h"
#include "command/session.h"
#include "gui_test.h"

namespace ordena::gui::test {

namespace {

QString selected(Bench& b) { return b.window->inputPane()->textCursor().selectedText().replace(QChar::ParagraphSeparator, '\n'); }

// Shortcuts reach the active window only.
void activate(Bench& b) {
    b.window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(b.window.get()));
}

void placeCaret(Bench& b, int position) {
    QTextCursor c = b.window->inputPane()->textCursor();
    c.setPosition(position);
    b.window->inputPane()->setTextCursor(c);
}

// The colour kind the highlighter gave the character at position.
QTextCharFormat formatAt(QPlainTextEdit* pane, int position) {
    const QTextBlock block = pane->document()->findBlock(position);
    const int inBlock = position - block.position();
    for (const QTextLayout::FormatRange& r : block.layout()->formats())
        if (r.start <= inBlock && inBlock < r.start + r.length) return r.format;
    return QTextCharFormat();
}

CGraph lineGraph(const char* title) {
    CGraph g;
    g.options.title = title;
    g.addSeries("s");
    g.series[0].append(0, 0);
    g.series[0].append(1, 1);
    return g;
}

}  // namespace

class EditorTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { quietOffscreen(); }

    // Run All: the message in the box and in the output pane; the failing
    // statement selected in the input pane and its line marked.
    void aFailingStatementIsSelectedAtItsLine() {
        Scratch s;
        Bench b;
        const QString script = "title Caf\u00e9 \u00e0 la carte;\n/* codes; */\ntitle Two;\n  codes 0,1 ;\n"
                               "  nonsense\n   here;\ntitle Never;\n";
        QVERIFY(b.runAll(script));
        QCOMPARE(b.prompter.boxes.size(), std::size_t(1));
        QCOMPARE(b.prompter.boxes[0].title, QString("Error"));
        QVERIFY2(b.output().endsWith("=> nonsense here;\r\nError: Unknown command or argument: 'nonsense'\r\n"),
                 qPrintable(b.output()));
        QCOMPARE(selected(b), QString("nonsense\n   here;"));
        QCOMPARE(b.window->scriptEditor()->failureLine(), 5);
        // The mark goes with the next edit.
        b.window->inputPane()->textCursor().insertText("x");
        QCOMPARE(b.window->scriptEditor()->failureLine(), 0);

        // Run Selection: the place counts from the selection's start.
        b.window->inputPane()->setPlainText("title A;\ntitle B;\nbogus 1;\ntitle C;");
        QTextCursor c = b.window->inputPane()->textCursor();
        c.setPosition(9);
        c.movePosition(QTextCursor::End, QTextCursor::KeepAnchor);
        b.window->inputPane()->setTextCursor(c);
        b.window->runSelection();
        QVERIFY(b.waitIdle());
        QCOMPARE(selected(b), QString("bogus 1;"));
        QCOMPARE(b.window->scriptEditor()->failureLine(), 3);
        // A statement that runs marks nothing.
        QVERIFY(b.runAll("title fine;"));
        QCOMPARE(b.window->scriptEditor()->failureLine(), 0);
    }

    // Ctrl+Enter runs the statement under the caret and nothing else, then
    // moves on to the next one; a loop runs whole.
    void ctrlEnterRunsExactlyOneStatement() {
        Scratch s;
        Bench b;
        QVERIFY(b.runAll("title Start;"));
        b.window->inputPane()->setPlainText("title A;\ntitle B; /* b */\n\ndofor k=1,2;\n title L%k%;\nenddo;\ntitle D");
        activate(b);
        b.window->inputPane()->setFocus();
        placeCaret(b, 12);  // inside "title B;"
        QTest::keyClick(b.window->inputPane(), Qt::Key_Return, Qt::ControlModifier);
        QVERIFY(b.waitIdle());
        QCOMPARE(b.output(), QString("=>title Start;\r\n=>title B;\r\n"));  // no reset, one statement
        QCOMPARE(b.window->inputPane()->toPlainText().count('\n'), 6);  // no line break typed
        QCOMPARE(b.window->inputPane()->textCursor().position(), b.window->inputPane()->toPlainText().indexOf("dofor"));
        QTest::keyClick(b.window->inputPane(), Qt::Key_Return, Qt::ControlModifier);
        QVERIFY(b.waitIdle());
        // The loop's values are set as it is read, then its statements run.
        QVERIFY2(b.output().endsWith("=>title B;\r\n=>let k=1;\r\n=>let k=2;\r\n=> title L1;\r\n=> title L2;\r\n"),
                 qPrintable(b.output()));
        QCOMPARE(b.window->session().ws.title.str(), std::string("L2"));
        // At the end of a line, the statement that ends there.
        placeCaret(b, 8);  // after "title A;"
        b.window->action("run.statement")->trigger();
        QVERIFY(b.waitIdle());
        QVERIFY(b.output().endsWith("=>title A;\r\n"));
        QCOMPARE(b.window->session().ws.title.str(), std::string("A"));
        // The last statement without its semicolon fails where it stands.
        placeCaret(b, b.window->inputPane()->toPlainText().size());
        b.window->runStatementAtCursor();
        QVERIFY(b.waitIdle());
        QCOMPARE(b.prompter.boxes.back().text, QString("Statement doesn't end with semi-colon"));
        QCOMPARE(selected(b), QString("title D"));
    }

    void findAndReplace() {
        Scratch s;
        Bench b;
        b.window->inputPane()->setPlainText("codes 0,1;\nmodel item;\nMODEL item + step;\nitems;\n");
        activate(b);
        b.window->inputPane()->setFocus();
        placeCaret(b, 0);
        FindBar* bar = b.window->findBar();
        QTest::keyClick(b.window.get(), Qt::Key_F, Qt::ControlModifier);
        QVERIFY(bar->isVisible());
        QVERIFY(bar->findField()->hasFocus());
        QVERIFY(!bar->replaceField()->isVisible());
        QTest::keyClicks(bar->findField(), "model");
        QTest::keyClick(bar->findField(), Qt::Key_Return);
        QCOMPARE(b.window->inputPane()->textCursor().selectionStart(), 11);
        QTest::keyClick(b.window.get(), Qt::Key_F3);  // not case-sensitive: MODEL too
        QCOMPARE(b.window->inputPane()->textCursor().selectionStart(), 23);
        QTest::keyClick(b.window.get(), Qt::Key_F3);  // round the end
        QCOMPARE(b.window->inputPane()->textCursor().selectionStart(), 11);
        QCOMPARE(bar->message(), QString("Wrapped around"));
        QTest::keyClick(b.window.get(), Qt::Key_F3, Qt::ShiftModifier);
        QCOMPARE(b.window->inputPane()->textCursor().selectionStart(), 23);

        // Replace: whole words only, one step for Undo.
        QTest::keyClick(b.window.get(), Qt::Key_H, Qt::ControlModifier);
        QVERIFY(bar->replaceField()->isVisible() && bar->replaceField()->isEnabled());
        bar->findField()->setText("item");
        bar->replaceField()->setText("rater");
        bar->findChild<QCheckBox*>("find.words")->setChecked(true);
        QCOMPARE(bar->replaceAll(), 2);
        QCOMPARE(b.window->inputPane()->toPlainText(), QString("codes 0,1;\nmodel rater;\nMODEL rater + step;\nitems;\n"));
        QCOMPARE(bar->message(), QString("2 replaced"));
        b.window->inputPane()->undo();
        QCOMPARE(b.window->inputPane()->toPlainText(), QString("codes 0,1;\nmodel item;\nMODEL item + step;\nitems;\n"));
        // Replace one at a time: the match found, then the next.
        bar->findChild<QCheckBox*>("find.case")->setChecked(true);
        bar->findField()->setText("MODEL");
        bar->replaceField()->setText("model");
        placeCaret(b, 0);
        QVERIFY(bar->findNext());
        QVERIFY(!bar->replaceOne());  // replaced, and no other match
        QCOMPARE(b.window->inputPane()->toPlainText().count("model"), 2);
        QCOMPARE(bar->message(), QString("Not found"));

        // The output pane can be searched, not changed.
        QVERIFY(b.runAll("title Searched;"));
        b.window->outputPane()->setFocus();
        QApplication::processEvents();
        b.window->action("edit.replace")->trigger();
        QCOMPARE(bar->target(), static_cast<QPlainTextEdit*>(b.window->outputPane()));
        QVERIFY(!bar->replaceField()->isEnabled());
        bar->findField()->setText("Searched");
        bar->findChild<QCheckBox*>("find.case")->setChecked(false);
        QVERIFY(bar->findNext());
        QCOMPARE(bar->replaceAll(), 0);
        QCOMPARE(b.output(), QString("=>title Searched;\r\n"));
        QTest::keyClick(bar->findField(), Qt::Key_Escape);
        QVERIFY(!bar->isVisible());
    }

    // The colours come from the reader's own tables: every command word and
    // its abbreviations, the option words of the statement, comments,
    // quotes, tokens and loops.
    void colouringOfASampleScript() {
        Scratch s;
        Bench b;
        const QString script =
            "/* A sample\n   over two lines; */\n"
            "Datafile demo.dat;\n"
            "estimate ! method=montecarlo, nod=4000, bogus=1;\n"
            "set seed=7, warnings=no;\n"
            "title \"A; quoted\" %who%;\n"
            "dofor k=1,2; show ! tables=%k%; enddo;\n"
            "estimatex;\n"
            "e;\n";
        b.window->inputPane()->setPlainText(script);
        QApplication::processEvents();
        QPlainTextEdit* pane = b.window->inputPane();
        auto kindAt = [&](const QString& text, int from = 0) {
            const int at = script.indexOf(text, from);
            return formatAt(pane, at);
        };
        auto is = [](const QTextCharFormat& f, SyntaxKind kind) {
            const QTextCharFormat want = ScriptHighlighter::format(static_cast<int>(kind));
            return f.foreground() == want.foreground() && f.fontWeight() == want.fontWeight() &&
                   f.fontItalic() == want.fontItalic() && f.underlineStyle() == want.underlineStyle();
        };
        QVERIFY(is(kindAt("A sample"), SyntaxKind::Comment));
        QVERIFY(is(kindAt("over two"), SyntaxKind::Comment));  // the second line of the comment
        QVERIFY(is(kindAt("Datafile"), SyntaxKind::Command));
        QVERIFY(!is(kindAt("demo.dat"), SyntaxKind::Command));
        QVERIFY(is(kindAt("estimate"), SyntaxKind::Command));
        QVERIFY(is(kindAt("method"), SyntaxKind::Option));
        QVERIFY(!is(kindAt("montecarlo"), SyntaxKind::Option));
        QVERIFY(is(kindAt("nod"), SyntaxKind::Option));  // an abbreviation the handler takes
        QVERIFY(!is(kindAt("bogus"), SyntaxKind::Option));
        QVERIFY(is(kindAt("seed"), SyntaxKind::Option));
        QVERIFY(is(kindAt("warnings"), SyntaxKind::Option));
        QVERIFY(is(kindAt("\"A; quoted\""), SyntaxKind::Quoted));
        QVERIFY(is(kindAt("%who%"), SyntaxKind::Token));
        QVERIFY(is(kindAt("dofor"), SyntaxKind::Loop));
        QVERIFY(is(kindAt("show"), SyntaxKind::Command));
        QVERIFY(is(kindAt("tables"), SyntaxKind::Option));
        QVERIFY(is(kindAt("%k%"), SyntaxKind::Token));
        QVERIFY(is(kindAt("enddo"), SyntaxKind::Loop));
        QVERIFY(is(kindAt("estimatex"), SyntaxKind::UnknownCommand));
        QVERIFY(is(kindAt("e;\n", script.indexOf("estimatex") + 5), SyntaxKind::UnknownCommand));  // ambiguous
        // What the reader does with each first word agrees: the words coloured
        // as commands run, the others are refused.
        for (int k = 0; k < kCommandCount; ++k) {
            const std::u16string word(kCommandWords[k], kCommandWords[k] + std::char_traits<char>::length(kCommandWords[k]));
            SyntaxState state;
            const std::vector<SyntaxSpan> spans = classifyLine(word + u";", state);
            QVERIFY(!spans.empty() && spans[0].kind == SyntaxKind::Command);
        }
        // The numbers in the margin.
        QVERIFY(b.window->scriptEditor()->lineNumberWidth() > 0);
        const int narrow = b.window->scriptEditor()->lineNumberWidth();
        b.window->inputPane()->setPlainText(QString("title x;\n").repeated(12000));
        QVERIFY(b.window->scriptEditor()->lineNumberWidth() > narrow);
    }

    // F1 opens the guide at the section of the statement under the caret.
    void f1OpensTheStatementsSection() {
        Scratch s;
        Bench b;
        b.window->inputPane()->setPlainText("codes 0,1;\nest ! method=jml;\ndofor k=1;\ntitle %k%;\nenddo;\nbogus;");
        activate(b);
        b.window->inputPane()->setFocus();
        placeCaret(b, 14);
        QTest::keyClick(b.window->inputPane(), Qt::Key_F1);
        HelpWindow* help = b.window->helpWindow();
        QVERIFY(help != nullptr && help->isVisible());
        QCOMPARE(help->browser()->source().fileName(), QString("statements.md"));
        QCOMPARE(help->browser()->currentHeading(), QString("estimate"));
        QVERIFY(help->browser()->toPlainText().contains("estimate [! options] [>> file];"));
        placeCaret(b, 30);  // in the loop
        b.window->helpOnStatement();
        QCOMPARE(help->browser()->source().fileName(), QString("command-language.md"));
        QVERIFY(help->browser()->currentHeading().startsWith("Loops"));
        // Every statement has its section in the guide.
        for (int k = 0; k < kCommandCount; ++k) QVERIFY2(!HelpWindow::statementAnchor(k).isEmpty(), kCommandWords[k]);
        // The guide's own links lead to their sections; the contents list
        // holds every chapter.
        help->browser()->setSource(QUrl("qrc:/guide/examples.md#equivalence-tables"));
        QCOMPARE(help->browser()->currentHeading(), QString("Equivalence tables"));
        QVERIFY(help->contents()->topLevelItemCount() >= 9);
        help->browser()->backward();
        QCOMPARE(help->browser()->source().fileName(), QString("command-language.md"));
    }

    // Exit asks about the script before it closes anything; Cancel leaves
    // every plot window open, and so does Cancel at a changed plot.
    void cancellingExitKeepsThePlotWindows() {
        Scratch s;
        Bench b;
        CurvanaWindow* c = b.window->launchCurvana();
        c->addGraph(lineGraph("A"));
        c->addGraph(lineGraph("B"));
        b.window->inputPane()->insertPlainText("title changed;");
        b.prompter.answers = {BoxAnswer::Cancel};
        QVERIFY(!b.window->close());
        QCOMPARE(c->graphWindows().size(), 2);
        QVERIFY(b.window->isVisible());
        // A changed plot: No to the script, Cancel to the plot.
        c->graphWindows()[0]->change([](CGraph& g) { g.series[0].append(2, 2); });
        b.prompter.answers = {BoxAnswer::No, BoxAnswer::Cancel};
        QVERIFY(!b.window->close());
        QCOMPARE(c->graphWindows().size(), 2);
        QCOMPARE(b.prompter.boxes.back().title, QString("Curvana"));
        // No to both: everything closes.
        b.prompter.answers = {BoxAnswer::No, BoxAnswer::No};
        QVERIFY(b.window->close());
    }

    // The windows open where they were left, no larger than the screen.
    void windowPlacesAreKept() {
        Scratch s;
        const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
        QList<int> panes;
        {
            Bench b;
            b.window->resize(640, 470);
            b.window->move(30, 20);
            auto* splitter = b.window->findChild<QSplitter*>("panes");
            splitter->setSizes({100, 300});
            panes = splitter->sizes();
            // A plot window larger than this screen is made to fit.
            CurvanaWindow* c = b.window->launchCurvana();
            QVERIFY2(screen.contains(c->frameGeometry()), qPrintable(QString("%1 %2 %3 %4 in %5 %6").arg(c->frameGeometry().x()).arg(c->frameGeometry().y()).arg(c->frameGeometry().width()).arg(c->frameGeometry().height()).arg(screen.width()).arg(screen.height())));
            c->resize(500, 400);
            c->close();
            QVERIFY(b.window->close());
        }
        Bench b;
        QCOMPARE(b.window->size(), QSize(640, 470));
        QCOMPARE(b.window->findChild<QSplitter*>("panes")->sizes(), panes);
        QCOMPARE(b.window->launchCurvana()->size(), QSize(500, 400));
    }

    // A reset leaves no word of the old workspace in the status line.
    void resetClearsTheMessagePane() {
        Scratch s;
        Bench b;
        b.window->session().statusText("System file loaded", 0);
        QCOMPARE(b.window->statusPaneText(0), QString("System file loaded"));
        QVERIFY(b.runAll("title x;"));
        QCOMPARE(b.window->statusPaneText(0), QString("Ready"));
    }
};

static Register<EditorTest> registered;

}  // namespace ordena::gui::test

#include "editor_test.moc"
