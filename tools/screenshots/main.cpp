// ordena-screenshots: draws the workbench's windows under the offscreen
// platform and writes them as PNG files for the documentation.
//
//   ordena-screenshots EXAMPLES_DIR OUTPUT_DIR
//
// Runs the example analysis in a copy of the examples directory, then
// grabs the main window, the progress window during a longer estimate, the
// "Estimate" and "Building Format" dialogs, the plot window of the first
// item's characteristic curves, and the editor: a failed statement marked
// in a coloured script, Find and Replace, and the help window.
#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTest>
#include <cstdio>
#include <functional>

#include <QMdiArea>
#include <QMdiSubWindow>

#include "app/gui/command_dialogs.h"
#include "app/gui/find_bar.h"
#include "app/gui/help_window.h"
#include "app/gui/script_editor.h"
#include "app/gui/curvana/curvana_window.h"
#include "app/gui/curvana/graph_window.h"
#include "app/gui/main_window.h"
#include "app/gui/output_pane.h"
#include "app/gui/progress_window.h"
#include "command/session.h"
#include "scripted_prompter.h"

using namespace ordena::gui;

namespace {

bool waitIdle(MainWindow& w) {
    QElapsedTimer clock;
    clock.start();
    while (w.busy() && clock.elapsed() < 600000) QTest::qWait(10);
    QTest::qWait(50);
    return !w.busy();
}

// Plays the user of a command dialog opened from its menu item: fill fills
// it in, then the dialog is grabbed and cancelled.
bool grabDialog(MainWindow& window, test::ScriptedPrompter& prompter, CommandDialog dialog,
                const std::function<void(QDialog&)>& fill, const QString& file) {
    bool ok = false;
    prompter.onDialog = [&](QDialog& d) {
        d.show();
        fill(d);
        QTest::qWait(50);
        ok = d.grab().save(file, "PNG");
        d.hide();
    };
    window.action("dialog." + QString::number(static_cast<int>(dialog)))->trigger();
    prompter.onDialog = nullptr;
    std::printf("%s %s\n", ok ? "wrote" : "could not write", qPrintable(file));
    return ok;
}

void click(QDialog& d, const char* button) {
    if (auto* b = d.findChild<QAbstractButton*>(button)) b->click();
}

void type(QDialog& d, const char* field, const char* text) {
    if (auto* f = d.findChild<QLineEdit*>(field)) f->setText(text);
}

bool save(QWidget* widget, const QString& file) {
    QApplication::processEvents();
    const bool ok = widget->grab().save(file, "PNG");
    std::printf("%s %s\n", ok ? "wrote" : "could not write", qPrintable(file));
    return ok;
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "Usage: ordena-screenshots EXAMPLES_DIR OUTPUT_DIR\n");
        return 2;
    }
    const QString examples = QDir(argv[1]).absolutePath();
    const QString out = QDir(argv[2]).absolutePath();
    QDir().mkpath(out);
    QTemporaryDir work;
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(work.path() + "/config"));
    for (const char* name : {"demo.zrc", "demo.dat"})
        QFile::copy(examples + "/" + name, work.path() + "/" + name);
    QDir::setCurrent(work.path());

    test::ScriptedPrompter prompter;
    MainWindow window(prompter);
    registerCommandDialogs(window, prompter);
    window.resize(900, 700);
    window.show();
    bool ok = true;

    // The progress window, during a long estimate: grabbed at the interrupt question.
    QPixmap progress;
    prompter.onBox = [&](const test::BoxSeen& box) {
        if (box.text != ordena::kInterruptQuestion) return BoxAnswer::Ok;
        if (window.progressWindow() != nullptr) {
            window.progressWindow()->show();
            QApplication::processEvents();
            progress = window.progressWindow()->grab();
        }
        return BoxAnswer::Yes;
    };
    window.inputPane()->setPlainText(
        "datafile demo.dat;\nformat id 1-4 group 6 responses 8-19;\ncodes 0,1,2;\nmodel item + item*step;\n"
        "regression group;\nestimate ! iterations=10000, convergence=0, deviancechange=0;\n");
    window.runAll();
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 60000 &&
           (window.progressWindow() == nullptr ||
            window.progressWindow()->fieldText("Iteration Number:").toInt() < 12))
        QTest::qWait(10);
    window.stop();
    ok = waitIdle(window) && ok;
    ok = !progress.isNull() && progress.save(out + "/progress-window.png", "PNG") && ok;
    std::printf("%s %s\n", progress.isNull() ? "could not write" : "wrote", qPrintable(out + "/progress-window.png"));

    // The main window after the example analysis.
    window.openFile(work.path() + "/demo.zrc");
    window.runAll();
    ok = waitIdle(window) && ok;
    window.inputPane()->moveCursor(QTextCursor::Start);
    // Show the summary table in the output pane.
    const int at = window.outputPane()->toPlainText().indexOf("SUMMARY OF THE ESTIMATION");
    if (at >= 0) {
        QTextCursor c = window.outputPane()->textCursor();
        c.setPosition(window.outputPane()->toPlainText().size());
        window.outputPane()->setTextCursor(c);
        c.setPosition(at);
        window.outputPane()->setTextCursor(c);
    }
    ok = save(&window, out + "/main-window.png") && ok;

    // The command dialogs: Estimate as it opens, and the example's format
    // statement built up in Building Format.
    ok = grabDialog(window, prompter, CommandDialog::Estimate, [](QDialog&) {}, out + "/estimate-dialog.png") && ok;
    auto buildFormat = [](QDialog& d) {
        const char* explicitVariables[][3] = {{"id", "1", "4"}, {"group", "6", ""}};
        for (const auto& v : explicitVariables) {
            click(d, "Explicit Variable");
            type(d, "Name of variable:", v[0]);
            type(d, "Start Column", v[1]);
            type(d, "End Column", v[2]);
            click(d, "Add to format ");
        }
        click(d, "Response");
        type(d, "Start Column", "8");
        type(d, "End Column", "19");
        click(d, "Add to format ");
    };
    ok = grabDialog(window, prompter, CommandDialog::Format, buildFormat, out + "/format-dialog.png") && ok;

    // The plot window of the example's first item: its characteristic
    // curves with the observed proportions.
    CurvanaWindow* curvana = window.curvanaWindow();
    GraphWindow* icc = nullptr;
    if (curvana != nullptr)
        for (GraphWindow* g : curvana->graphWindows())
            if (g->title().endsWith("- ICC")) icc = g;
    if (icc == nullptr) {
        std::printf("could not write %s: no plot window\n", qPrintable(out + "/plot-window.png"));
        return 1;
    }
    curvana->resize(800, 680);
    curvana->activate(icc);
    curvana->setZoom(75);
    QTest::qWait(20);
    // The window fills the area with its title bar in view.
    if (auto* sub = qobject_cast<QMdiSubWindow*>(icc->parentWidget()))
        sub->setGeometry(sub->mdiArea()->viewport()->rect());
    QTest::qWait(50);
    ok = save(curvana, out + "/plot-window.png") && ok;
    curvana->hide();

    // The editor after a statement failed: its colours, the line numbers,
    // the failing statement selected and marked, the message in the output.
    window.inputPane()->setPlainText(
        "/* The example analysis: the method is misspelt */\n"
        "title Example analysis;\n"
        "datafile demo.dat;\n"
        "format id 1-4 group 6 responses 8-19;\n"
        "codes 0,1,2;\n"
        "model item + item*step;\n"
        "set seed=7, warnings=no;\n"
        "dofor k=1,2;\n"
        "  title \"Run %k%\";\n"
        "enddo;\n"
        "estimate ! method=gaus, nodes=20, iterations=200;\n"
        "show ! tables=1:2 >> results.txt;\n");
    window.runAll();
    ok = waitIdle(window) && ok;
    ok = save(&window, out + "/editor-failed-statement.png") && ok;

    // Find and Replace over the script.
    window.inputPane()->setFocus();
    window.action("edit.replace")->trigger();
    window.findBar()->findField()->setText("item");
    window.findBar()->replaceField()->setText("rater");
    QTextCursor start = window.inputPane()->textCursor();
    start.setPosition(0);
    window.inputPane()->setTextCursor(start);
    window.findBar()->findNext();
    window.findBar()->findNext();
    ok = save(&window, out + "/find-replace.png") && ok;
    window.findBar()->hide();

    // Help on the estimate statement.
    QTextCursor onEstimate = window.inputPane()->textCursor();
    onEstimate.setPosition(window.inputPane()->toPlainText().indexOf("estimate") + 3);
    window.inputPane()->setTextCursor(onEstimate);
    window.helpOnStatement();
    if (HelpWindow* help = window.helpWindow()) {
        help->resize(900, 620);
        QTest::qWait(50);
        ok = save(help, out + "/help-window.png") && ok;
    } else {
        ok = false;
    }
    return ok ? 0 : 1;
}
