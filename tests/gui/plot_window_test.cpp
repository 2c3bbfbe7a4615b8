// The plot windows: what a plot statement opens, the series a user adds
// and manages, the graph's options, plot documents, pictures and zoom.
#include <QCheckBox>
#include <QComboBox>
#include <QImage>
#include <QLineEdit>
#include <QListWidget>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QRadioButton>
#include <QScrollBar>
#include <QSpinBox>
#include <cmath>
#include <map>

#include "app/gui/curvana/curvana_window.h"
#include "app/gui/curvana/graph_options_dialogs.h"
#include "app/gui/curvana/graph_window.h"
#include "app/gui/curvana/series_dialog.h"
#include "app/gui/curvana/series_manager.h"
#include "app/render/graph_painter.h"
#include "gui_test.h"

namespace ordena::gui::test {

namespace {

// The example's model, estimated, then the curves of its first two items
// with the observed proportions in five bins.
QString plotScript() {
    return "datafile demo.dat;\nformat id 1-4 group 6 responses 8-19;\ncodes 0,1,2;\n"
           "model item + item*step;\nestimate ! abilities=yes;\nplot icc 1-2 ! bins=5;\n";
}

QStringList seriesNames(const CGraph& g) {
    QStringList names;
    for (const CSeries& s : g.series) names << toQString(s.name);
    return names;
}

const CSeries* seriesNamed(const CGraph& g, const QString& name) {
    const int k = g.find(toMString(name));
    return k < 0 ? nullptr : &g.series[static_cast<std::size_t>(k)];
}

// A graph of one straight-line series, for the tests that need no analysis.
CGraph lineGraph(const QString& title) {
    CGraph g;
    g.options.title = toMString(title);
    g.options.width = 400;
    g.options.height = 300;
    const int k = g.addSeries("Line");
    for (int i = 0; i <= 10; ++i) g.series[static_cast<std::size_t>(k)].append(i, 0.1 * i);
    return g;
}

double logistic(double z) { return 1.0 / (1.0 + std::exp(-z)); }

template <class T>
T* child(QDialog& dialog, const char* name) {
    T* w = dialog.findChild<T*>(name);
    if (w == nullptr) qWarning("no control %s", name);
    return w;
}

// Fills in the series dialog as a logistic curve.
void fillIcc(QDialog& dialog, const QString& a, const QString& b, const QString& low, const QString& high,
             int steps) {
    child<QRadioButton>(dialog, "typeIcc")->setChecked(true);
    child<QLineEdit>(dialog, "location")->setText(a);
    child<QLineEdit>(dialog, "slope")->setText(b);
    child<QLineEdit>(dialog, "thetaMin")->setText(low);
    child<QLineEdit>(dialog, "thetaMax")->setText(high);
    child<QSpinBox>(dialog, "steps")->setValue(steps);
}

bool everyBoxTitledCurvana(const ScriptedPrompter& p) {
    for (const BoxSeen& b : p.boxes)
        if (b.title != "Curvana") return false;
    return true;
}

}  // namespace

class PlotWindowTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { quietOffscreen(); }

    // plot icc opens one window per item, titled by item and plot, with a
    // model curve and the observed proportions of every category; the
    // picture files of Save All As PNGs and a plot document saved and
    // opened again hold what the windows show.
    void plotStatementOpensGraphWindows() {
        Scratch s;
        s.copyExample("demo.dat");
        Bench b;
        QVERIFY(b.enabled("plot.curvana"));
        QVERIFY(b.runAll(plotScript()));
        QVERIFY2(b.prompter.boxes.empty(), b.prompter.boxes.empty() ? "" : qPrintable(b.prompter.boxes[0].text));
        CurvanaWindow* c = b.window->curvanaWindow();
        QVERIFY(c != nullptr && c->isVisible());
        QCOMPARE(c->windowTitle(), QString("Curvana"));
        const QList<GraphWindow*> windows = c->graphWindows();
        QCOMPARE(windows.size(), 2);
        for (int item = 1; item <= 2; ++item) {
            const CGraph& g = windows[item - 1]->graph();
            QCOMPARE(windows[item - 1]->title(), QString("Item %1 - ICC").arg(item));
            QCOMPARE(toQString(g.options.xTitle), QString("Latent Trait (logits)"));
            QCOMPARE(toQString(g.options.yTitle), QString("Probability"));
            // Three categories: every category's model curve, and its observations.
            for (int k = 1; k <= 3; ++k) {
                QVERIFY2(seriesNamed(g, QString("Item %1 Model Probability Category %2").arg(item).arg(k)),
                         qPrintable(seriesNames(g).join(", ")));
                QVERIFY2(seriesNamed(g, QString("Group 1 Item %1 Category %2").arg(item).arg(k)),
                         qPrintable(seriesNames(g).join(", ")));
            }
            QCOMPARE(g.series.size(), std::size_t(6));
            // The model probabilities of the categories add up to one at
            // every ability, sampled every 0.1 logit.
            const CSeries* first = seriesNamed(g, QString("Item %1 Model Probability Category 1").arg(item));
            QVERIFY(first->points.size() > 50);
            for (std::size_t j = 0; j < first->points.size(); ++j) {
                double sum = 0;
                for (int k = 1; k <= 3; ++k) {
                    const CSeries* sk = seriesNamed(g, QString("Item %1 Model Probability Category %2").arg(item).arg(k));
                    QCOMPARE(sk->points[j].x, first->points[j].x);
                    sum += sk->points[j].y;
                }
                QVERIFY(std::abs(sum - 1.0) < 1e-12);
                if (j > 0) QVERIFY(std::abs(first->points[j].x - first->points[j - 1].x - 0.1) < 1e-9);
            }
            // The observed proportions of a bin add up to one too, at the
            // bin's mean ability, the bins in order.
            const CSeries* o1 = seriesNamed(g, QString("Group 1 Item %1 Category 1").arg(item));
            QCOMPARE(o1->points.size(), std::size_t(5));
            for (std::size_t j = 0; j < o1->points.size(); ++j) {
                double sum = 0;
                for (int k = 1; k <= 3; ++k)
                    sum += seriesNamed(g, QString("Group 1 Item %1 Category %2").arg(item).arg(k))->points[j].y;
                QVERIFY(std::abs(sum - 1.0) < 1e-12);
                if (j > 0) QVERIFY(o1->points[j].x > o1->points[j - 1].x);
            }
            QVERIFY(!windows[item - 1]->isModified());
        }

        // Save All As PNGs: one picture per window, named by its title.
        c->action("image.pngall")->trigger();
        for (GraphWindow* w : windows) {
            const QString file = s.path(w->title() + ".png");
            QImage picture(file);
            QVERIFY2(!picture.isNull(), qPrintable(file));
            QCOMPARE(picture.convertToFormat(QImage::Format_RGB888),
                     render::renderGraph(w->graph()).convertToFormat(QImage::Format_RGB888));
        }
        QVERIFY(s.read("Item 1 - ICC.png") != s.read("Item 2 - ICC.png"));
        // It says where they went, in a box that stays until read.
        QCOMPARE(b.prompter.boxes.size(), std::size_t(1));
        QCOMPARE(b.prompter.boxes[0].icon, BoxIcon::Information);
        QVERIFY(b.prompter.boxes[0].text.startsWith(QString("%1 pictures written to %2:\n")
                                                        .arg(windows.size())
                                                        .arg(QDir::currentPath())));
        for (GraphWindow* w : windows) QVERIFY(b.prompter.boxes[0].text.contains(w->title() + ".png"));
        b.prompter.boxes.clear();

        // Save As a plot document, then open it: the same graph, series for
        // series, in a window titled by the file.
        c->activate(windows[1]);
        b.prompter.fileAnswers = {s.path("item2")};
        c->action("file.saveas")->trigger();
        QCOMPARE(b.prompter.fileDialogs.back().filter, QString("Plots (*.zgf)|*.zgf|All Files (*.*)|*.*||"));
        QVERIFY(QFile::exists(s.path("item2.zgf")));
        QCOMPARE(windows[1]->title(), QString("item2"));
        b.prompter.fileAnswers = {s.path("item2.zgf")};
        c->action("file.open")->trigger();
        QCOMPARE(c->graphWindows().size(), 3);
        GraphWindow* reopened = c->graphWindows().last();
        QCOMPARE(reopened->title(), QString("item2"));
        QCOMPARE(seriesNames(reopened->graph()), seriesNames(windows[1]->graph()));
        QVERIFY(reopened->graph() == windows[1]->graph());
        QCOMPARE(QString::fromStdString(c->recentFiles().slot(0)), s.path("item2.zgf"));
        QVERIFY(c->action("recent.1")->isEnabled());
        QVERIFY(everyBoxTitledCurvana(b.prompter));
        QVERIFY(b.prompter.boxes.empty());
    }

    // Windows of one title do not overwrite each other's pictures; the
    // characters a file name cannot hold become "_".
    void saveAllKeepsWindowsOfOneTitleApart() {
        Scratch s;
        Bench b;
        CurvanaWindow* c = b.window->launchCurvana();
        QVERIFY(c->graphWindows().isEmpty());
        QVERIFY(!c->action("image.pngall")->isEnabled());
        QVERIFY(!c->action("series.new")->isEnabled());
        c->addGraph(lineGraph("A"));
        c->addGraph(lineGraph("B"));
        CGraph a2 = lineGraph("A");
        a2.series[0].append(11, 2.0);
        c->addGraph(a2);
        c->addGraph(lineGraph("x/y"));
        c->action("image.pngall")->trigger();
        QCOMPARE(b.prompter.boxes.size(), std::size_t(1));
        QCOMPARE(b.prompter.boxes[0].text,
                 QString("4 pictures written to %1:\nA.png, B.png, A (2).png, x_y.png").arg(QDir::currentPath()));
        for (const char* name : {"A.png", "B.png", "A (2).png", "x_y.png"}) QVERIFY2(QFile::exists(s.path(name)), name);
        QCOMPARE(QImage(s.path("A (2).png")).convertToFormat(QImage::Format_RGB888),
                 render::renderGraph(a2).convertToFormat(QImage::Format_RGB888));
        QVERIFY(QImage(s.path("A.png")) != QImage(s.path("A (2).png")));
        // A file that cannot be made is reported in a box titled "Curvana".
        QFile::remove(s.path("B.png"));
        QDir(s.path("")).mkdir("B.png");
        c->action("image.pngall")->trigger();
        QCOMPARE(b.prompter.count("Error in creating file."), 1);
        QVERIFY(everyBoxTitledCurvana(b.prompter));
    }

    // Series > New Series: the name question, a logistic curve, a scatter
    // of a file's pairs, the name already in use and a cancelled creation.
    void newSeries() {
        Scratch s;
        s.write("points.txt", "0 0.1\n1 0.5\n  2   0.9\n3\n");
        Bench b;
        CurvanaWindow* c = b.window->launchCurvana();
        c->action("file.new")->trigger();
        GraphWindow* w = c->activeGraph();
        QVERIFY(w != nullptr);
        QVERIFY(!w->isModified());

        b.prompter.textAnswers = {"Curve"};
        b.prompter.onDialog = [](QDialog& d) {
            fillIcc(d, "0.5", "1.7", "-4", "4", 80);
            d.accept();
        };
        c->action("series.new")->trigger();
        QCOMPARE(b.prompter.textQuestions.back(), QString("Please enter a name for your new series."));
        const CSeries* curve = seriesNamed(w->graph(), "Curve");
        QVERIFY(curve != nullptr);
        QCOMPARE(curve->type, std::int32_t(kSeriesIcc));
        QCOMPARE(curve->points.size(), std::size_t(81));
        QCOMPARE(curve->points.back().x, 4.0);
        QCOMPARE(curve->steps, 80);
        for (std::size_t j = 0; j < curve->points.size(); ++j) {
            const double theta = -4.0 + 0.1 * static_cast<double>(j);
            QVERIFY(std::abs(curve->points[j].x - theta) < 1e-12);
            QVERIFY(std::abs(curve->points[j].y - logistic(1.7 * (theta - 0.5))) < 1e-12);
        }
        QVERIFY(w->isModified());

        // The name is in use: said, and asked again.
        b.prompter.textAnswers = {"Curve", "Points"};
        b.prompter.onDialog = [&](QDialog& d) {
            child<QRadioButton>(d, "typeScatter")->setChecked(true);
            child<QLineEdit>(d, "source")->setText("");
            d.accept();  // no source yet
            child<QLineEdit>(d, "source")->setText(s.path("nowhere.txt"));
            d.accept();
            child<QLineEdit>(d, "source")->setText(s.path("points.txt"));
            d.accept();
        };
        c->action("series.new")->trigger();
        QCOMPARE(b.prompter.count("A series of the name 'Curve' already exists, please choose another name."), 1);
        QCOMPARE(b.prompter.count("Please choose a source file."), 1);
        QCOMPARE(b.prompter.count(QString("File '%1' not found, try again.").arg(s.path("nowhere.txt"))), 1);
        const CSeries* points = seriesNamed(w->graph(), "Points");
        QVERIFY(points != nullptr);
        QCOMPARE(points->type, std::int32_t(kSeriesScatter));
        QCOMPARE(toQString(points->source), s.path("points.txt"));
        // The odd number at the end is no pair.
        QCOMPARE(points->points.size(), std::size_t(3));
        QCOMPARE(points->points[2].x, 2.0);
        QCOMPARE(points->points[2].y, 0.9);
        QCOMPARE(points->minY, 0.1);
        QCOMPARE(points->maxY, 0.9);

        // Theta Max must exceed Theta Min; Cancel asks, and No goes on.
        b.prompter.textAnswers = {"Third"};
        b.prompter.answers = {BoxAnswer::No};
        b.prompter.onDialog = [](QDialog& d) {
            fillIcc(d, "0", "1", "2", "2", 10);
            d.accept();
            d.reject();
            fillIcc(d, "0", "1", "-2", "2", 10);
            d.accept();
        };
        c->action("series.new")->trigger();
        QCOMPARE(b.prompter.count("Theta Max must be larger than Theta Min!"), 1);
        QCOMPARE(b.prompter.count("Are you sure you want to cancel the creation of series 'Third'?"), 1);
        QCOMPARE(seriesNamed(w->graph(), "Third")->points.size(), std::size_t(11));
        b.prompter.textAnswers = {"Fourth"};
        b.prompter.answers = {BoxAnswer::Yes};
        b.prompter.onDialog = [](QDialog& d) { d.reject(); };
        c->action("series.new")->trigger();
        QCOMPARE(b.prompter.count("Are you sure you want to cancel the creation of series 'Fourth'?"), 1);
        QVERIFY(seriesNamed(w->graph(), "Fourth") == nullptr);
        QCOMPARE(seriesNames(w->graph()), QStringList({"Curve", "Points", "Third"}));
        QVERIFY(everyBoxTitledCurvana(b.prompter));
    }

    // The Series Manager: edit, delete and rename, with their questions and
    // messages.
    void seriesManager() {
        Scratch s;
        Bench b;
        CurvanaWindow* c = b.window->launchCurvana();
        CGraph g = lineGraph("M");
        for (const char* name : {"Two", "Three"}) g.series[static_cast<std::size_t>(g.addSeries(name))].append(1, 1);
        GraphWindow* w = c->addGraph(g);

        auto select = [](SeriesManager& m, const QString& name) {
            const auto found = m.list()->findItems(name, Qt::MatchExactly);
            QVERIFY(!found.isEmpty());
            m.list()->setCurrentItem(found.first());
        };
        b.prompter.answers = {BoxAnswer::No, BoxAnswer::Yes};
        b.prompter.textAnswers = {"Two", "Second"};
        b.prompter.onDialog = [&](QDialog& d) {
            if (auto* series = qobject_cast<SeriesDialog*>(&d)) {
                // Edit: the line dotted and red, the curve's points kept.
                child<QComboBox>(d, "lineStyle")->setCurrentIndex(kLineDot);
                child<QComboBox>(d, "lineColour")->setCurrentIndex(kRed);
                child<QCheckBox>(d, "showPoints")->setChecked(true);
                series->accept();
                return;
            }
            auto& m = dynamic_cast<SeriesManager&>(d);
            QCOMPARE(m.list()->count(), 3);
            m.editSeries();
            m.deleteSeries();
            m.renameSeries();
            select(m, "Line");
            m.editSeries();
            select(m, "Three");
            m.deleteSeries();  // answered No
            QCOMPARE(m.list()->count(), 3);
            select(m, "Three");
            m.deleteSeries();  // Yes
            QCOMPARE(m.list()->count(), 2);
            select(m, "Line");
            m.renameSeries();  // "Two" is taken, then "Second"
            QCOMPARE(m.list()->currentItem()->text(), QString("Second"));
            d.accept();
        };
        c->action("series.manager")->trigger();
        QCOMPARE(b.prompter.count("Select a series."), 2);
        QCOMPARE(b.prompter.count("No Series selected."), 1);
        QCOMPARE(b.prompter.count("Are you sure you want to delete the Series: 'Three'?"), 2);
        QCOMPARE(b.prompter.count("A Series with that name already exists!  Please choose another name."), 1);
        QCOMPARE(seriesNames(w->graph()), QStringList({"Second", "Two"}));
        const CSeries* edited = seriesNamed(w->graph(), "Second");
        QCOMPARE(edited->style.lineStyle, std::int32_t(kLineDot));
        QCOMPARE(edited->style.lineColour, std::int32_t(kRed));
        QCOMPARE(edited->style.showPoints, 1);
        QCOMPARE(edited->points, lineGraph("M").series[0].points);
        QVERIFY(w->isModified());
        QVERIFY(everyBoxTitledCurvana(b.prompter));

        // A changed graph asks before its window closes; Cancel keeps it.
        b.prompter.boxes.clear();
        b.prompter.answers = {BoxAnswer::Cancel};
        QVERIFY(!c->closeAll());
        QCOMPARE(b.prompter.count("Save changes to M?"), 1);
        QCOMPARE(c->graphWindows().size(), 1);
        b.prompter.answers = {BoxAnswer::No};
        QVERIFY(c->closeAll());
        QTest::qWait(10);
        QVERIFY(c->graphWindows().isEmpty());
    }

    // Plot > Options, Colours and Precision change the graph; Zoom changes
    // only the window's picture.
    void optionsColoursPrecisionAndZoom() {
        Scratch s;
        Bench b;
        CurvanaWindow* c = b.window->launchCurvana();
        GraphWindow* w = c->addGraph(lineGraph("Before"));
        b.prompter.onDialog = [](QDialog& d) {
            if (qobject_cast<PlotOptionsDialog*>(&d)) {
                child<QLineEdit>(d, "title")->setText("After");
                child<QLineEdit>(d, "xTitle")->setText("Theta");
                child<QCheckBox>(d, "yAuto")->setChecked(false);
                child<QLineEdit>(d, "yMin")->setText("-0.5");
                child<QLineEdit>(d, "yMax")->setText("not a number");
                child<QCheckBox>(d, "legend")->setChecked(false);
            } else if (qobject_cast<PlotColoursDialog*>(&d)) {
                child<QRadioButton>(d, "scheme1")->setChecked(true);
            } else if (qobject_cast<PlotPrecisionDialog*>(&d)) {
                child<QSpinBox>(d, "xPrecision")->setValue(3);
                child<QSpinBox>(d, "yPrecision")->setValue(0);
            }
            d.accept();
        };
        c->action("plot.options")->trigger();
        const GraphOptions& o = w->graph().options;
        QCOMPARE(toQString(o.title), QString("After"));
        QCOMPARE(w->title(), QString("After"));
        QCOMPARE(c->findChild<QMdiArea*>()->activeSubWindow()->windowTitle(), QString("After"));
        QCOMPARE(toQString(o.xTitle), QString("Theta"));
        QCOMPARE(o.yAuto, 0);
        QCOMPARE(o.yMin, -0.5);
        QCOMPARE(o.yMax, 1.0);  // not a number: kept
        QCOMPARE(o.legend, 0);
        QCOMPARE(o.width, 400);
        c->action("plot.colours")->trigger();
        QCOMPARE(w->graph().options.colourScheme, 1);
        c->action("plot.precision")->trigger();
        QCOMPARE(w->graph().options.xPrecision, 3);
        QCOMPARE(w->graph().options.yPrecision, 0);
        QVERIFY(w->isModified());
        // A black background now.
        QCOMPARE(w->picture().pixelColor(2, 2), render::backgroundColour(1));

        // Cancel changes nothing.
        const CGraph before = w->graph();
        b.prompter.onDialog = [](QDialog& d) { d.reject(); };
        for (const char* name : {"plot.options", "plot.colours", "plot.precision"}) c->action(name)->trigger();
        QVERIFY(w->graph() == before);

        // A new window fits the picture to itself, without scroll bars.
        QVERIFY(c->action("zoom.fit")->isChecked());
        QCOMPARE(w->zoom(), 0);
        const auto fitted = [&] {
            const QSize room = w->viewport()->size();
            const QSize shown = w->widget()->size();
            return shown.width() <= room.width() && shown.height() <= room.height() &&
                   (std::abs(shown.width() - room.width()) <= 1 || std::abs(shown.height() - room.height()) <= 1);
        };
        QVERIFY(fitted());
        w->parentWidget()->resize(w->parentWidget()->size() + QSize(120, 40));
        QCoreApplication::processEvents();
        QVERIFY(fitted());
        QVERIFY(!w->horizontalScrollBar()->isVisible() && !w->verticalScrollBar()->isVisible());
        c->action("zoom.75")->trigger();
        QVERIFY(c->action("zoom.75")->isChecked());
        QCOMPARE(w->widget()->size(), QSize(300, 225));
        c->action("zoom.50")->trigger();
        QCOMPARE(w->zoom(), 50);
        QVERIFY(c->action("zoom.50")->isChecked());
        QCOMPARE(w->widget()->size(), QSize(200, 150));
        c->action("zoom.200")->trigger();
        QCOMPARE(w->widget()->size(), QSize(800, 600));
        QVERIFY(w->graph() == before);
        // At 100% the window shows the picture the files hold.
        c->action("zoom.100")->trigger();
        QCoreApplication::processEvents();
        QCOMPARE(w->widget()->grab().toImage().convertToFormat(QImage::Format_RGB888),
                 render::renderGraph(w->graph()).convertToFormat(QImage::Format_RGB888));
    }

    // A damaged plot document, or none, is refused in a box and opens no
    // window; the recent list keeps only documents that opened.
    void damagedDocumentsAreRefused() {
        Scratch s;
        Bench b;
        CurvanaWindow* c = b.window->launchCurvana();
        s.write("bad.zgf", "OZGF\x01\x00\x00\x00\xff\xff\xff\x7f");
        b.prompter.fileAnswers = {s.path("bad.zgf")};
        c->action("file.open")->trigger();
        QCOMPARE(b.prompter.boxes.size(), std::size_t(1));
        QCOMPARE(b.prompter.boxes[0].title, QString("Curvana"));
        QVERIFY(!b.prompter.boxes[0].text.isEmpty());
        QVERIFY(!c->openPlotFile(s.path("absent.zgf")));
        QCOMPARE(b.prompter.boxes.size(), std::size_t(2));
        QVERIFY(c->graphWindows().isEmpty());
        QVERIFY(c->recentFiles().slot(0).empty());
        QVERIFY(everyBoxTitledCurvana(b.prompter));
    }

    // Image > Save As PNG and Save As Bitmap write the active graph's
    // picture; Print to a PDF file draws a page.
    void picturesAndPrinting() {
        Scratch s;
        Bench b;
        CurvanaWindow* c = b.window->launchCurvana();
        const CGraph g = lineGraph("P");
        c->addGraph(g);
        b.prompter.fileAnswers = {s.path("one")};
        c->action("image.png")->trigger();
        QCOMPARE(b.prompter.fileDialogs.back().filter, QString("Portable Network Graphic file (*.png)|*.png||"));
        QCOMPARE(QImage(s.path("one.png")).convertToFormat(QImage::Format_RGB888),
                 render::renderGraph(g).convertToFormat(QImage::Format_RGB888));
        b.prompter.fileAnswers = {s.path("two")};
        c->action("image.bitmap")->trigger();
        QCOMPARE(s.read("two.bmp").left(2), QByteArray("BM"));
        QCOMPARE(QImage(s.path("two.bmp")).convertToFormat(QImage::Format_RGB888),
                 render::renderGraph(g).convertToFormat(QImage::Format_RGB888));
        // A file that cannot be created.
        b.prompter.fileAnswers = {s.path("no/such/dir/three.png")};
        c->action("image.png")->trigger();
        QCOMPARE(b.prompter.count("Error in creating file."), 1);

        b.prompter.onPrint = [&](QPrinter& p) {
            p.setOutputFormat(QPrinter::PdfFormat);
            p.setOutputFileName(s.path("plot.pdf"));
        };
        c->action("file.print")->trigger();
        QVERIFY(s.read("plot.pdf").startsWith("%PDF"));
        QVERIFY(everyBoxTitledCurvana(b.prompter));
    }
};

static Register<PlotWindowTest> registerPlotWindowTest;

}  // namespace ordena::gui::test

#include "plot_window_test.moc"
