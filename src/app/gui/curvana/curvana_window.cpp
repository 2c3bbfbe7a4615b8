#include "app/gui/curvana/curvana_window.h"

#include <QAction>
#include <QActionGroup>
#include <QClipboard>
#include <QCloseEvent>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QPageSetupDialog>
#include <QPainter>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QStatusBar>
#include <set>
#include <string>

#include "app/gui/curvana/graph_options_dialogs.h"
#include "app/gui/curvana/graph_window.h"
#include "app/gui/curvana/series_dialog.h"
#include "app/gui/curvana/series_manager.h"
#include "app/gui/gui_shell.h"
#include "app/render/graph_painter.h"
#include "app/render/png_writer.h"
#include "plot/plot_document.h"

namespace ordena::gui {

namespace {

constexpr const char* kPlotFilter = "Plots (*.zgf)|*.zgf|All Files (*.*)|*.*||";
constexpr const char* kPngFilter = "Portable Network Graphic file (*.png)|*.png||";
constexpr const char* kBitmapFilter = "Bitmap Files (*.bmp)|*.bmp||";

QString fromPath(const std::string& path) { return QFile::decodeName(QByteArray::fromStdString(path)); }
std::string toPath(const QString& path) { return QFile::encodeName(path).toStdString(); }

}  // namespace

CurvanaWindow::CurvanaWindow(Prompter& prompter, QWidget* parent)
    : QMainWindow(parent, Qt::Window), prompter_(prompter), printer_(new QPrinter(QPrinter::HighResolution)) {
    setWindowTitle("Curvana");
    setObjectName("curvana");
    resize(900, 680);
    area_ = new QMdiArea(this);
    area_->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    area_->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setCentralWidget(area_);
    connect(area_, &QMdiArea::subWindowActivated, this, [this] { updateActions(); });
    statusBar();

    QMenu* file = menuBar()->addMenu("&File");
    addItem(file, "file.new", "&New", "Start new Plot", &CurvanaWindow::newPlot, QKeySequence::New);
    addItem(file, "file.open", "&Open...", "Open existing Plot", &CurvanaWindow::openPlot, QKeySequence::Open);
    QAction* close = file->addAction("&Close");
    close->setObjectName("file.close");
    connect(close, &QAction::triggered, area_, &QMdiArea::closeActiveSubWindow);
    QAction* save = file->addAction("&Save");
    save->setObjectName("file.save");
    save->setStatusTip("Save current Plot");
    save->setShortcut(QKeySequence::Save);
    connect(save, &QAction::triggered, this, [this] { savePlot(activeGraph()); });
    QAction* saveAs = file->addAction("Save &As...");
    saveAs->setObjectName("file.saveas");
    saveAs->setStatusTip("Save current Plot");
    connect(saveAs, &QAction::triggered, this, [this] { savePlotAs(activeGraph()); });
    file->addSeparator();
    addItem(file, "file.print", "&Print...", "Print current Plot", &CurvanaWindow::printPlot, QKeySequence::Print);
    addItem(file, "file.preview", "Print Pre&view", "Display the Plot as printed", &CurvanaWindow::printPreview);
    addItem(file, "file.setup", "P&rint Setup...", "Change the printer and printing options",
            &CurvanaWindow::printSetup);
    file->addSeparator();
    for (int k = 0; k < RecentFiles::kSlots; ++k) {
        QAction* a = file->addAction("Recent File");
        a->setObjectName("recent." + QString::number(k + 1));
        connect(a, &QAction::triggered, this, [this, k] { openRecent(k); });
    }
    file->addSeparator();
    QAction* exit = file->addAction("E&xit");
    exit->setObjectName("file.exit");
    connect(exit, &QAction::triggered, this, &QWidget::close);

    QMenu* image = menuBar()->addMenu("&Image");
    addItem(image, "image.copy", "&Copy to clipboard", "Copy Plot to clipboard as image",
            &CurvanaWindow::copyToClipboard, QKeySequence::Copy);
    addItem(image, "image.bitmap", "Save As &Bitmap...", "Save Plot as .bmp (Bitmap) image",
            &CurvanaWindow::saveAsBitmap);
    addItem(image, "image.png", "Save As &PNG...", "Save Plot as .png (Portable Network Graphics) image",
            &CurvanaWindow::saveAsPng);
    addItem(image, "image.pngall", "Save &All As PNGs", "Save all open windows as .png files",
            &CurvanaWindow::saveAllAsPngs);

    QMenu* series = menuBar()->addMenu("&Series");
    addItem(series, "series.new", "&New Series...", "Create a New Series", &CurvanaWindow::newSeries);
    addItem(series, "series.manager", "Series &Manager", "Display the Series Manager", &CurvanaWindow::seriesManager);

    QMenu* plot = menuBar()->addMenu("&Plot");
    addItem(plot, "plot.options", "&Options...", "Plot Options", &CurvanaWindow::plotOptions);
    addItem(plot, "plot.colours", "&Colours...", "Plot Colour Options", &CurvanaWindow::plotColours);
    addItem(plot, "plot.precision", "&Precision...", "Plot Precision Options", &CurvanaWindow::plotPrecision);

    QMenu* zoom = menuBar()->addMenu("&Zoom");
    zoom_ = new QActionGroup(this);
    QAction* fit = zoom->addAction("&Fit to Window");
    fit->setObjectName("zoom.fit");
    fit->setCheckable(true);
    fit->setData(kZoomFit);
    zoom_->addAction(fit);
    connect(fit, &QAction::triggered, this, [this] { setZoom(kZoomFit); });
    zoom->addSeparator();
    for (int percent : kZoomLevels) {
        QAction* a = zoom->addAction(QString::number(percent) + "%");
        a->setObjectName("zoom." + QString::number(percent));
        a->setCheckable(true);
        a->setData(percent);
        zoom_->addAction(a);
        connect(a, &QAction::triggered, this, [this, percent] { setZoom(percent); });
    }

    QMenu* window = menuBar()->addMenu("&Window");
    window->addAction("&Cascade", area_, &QMdiArea::cascadeSubWindows);
    window->addAction("&Tile", area_, &QMdiArea::tileSubWindows);

    recent_.load(RecentFiles::settingsFile());
    updateRecentItems();
    updateActions();
}

CurvanaWindow::~CurvanaWindow() {
    // The graph windows go with the base class; this is no longer there to
    // hear of it.
    disconnect(area_, nullptr, this, nullptr);
    for (QMdiSubWindow* sub : area_->subWindowList()) disconnect(sub, nullptr, this, nullptr);
    delete printer_;
}

QAction* CurvanaWindow::addItem(QMenu* menu, const QString& name, const QString& text, const QString& prompt,
                                void (CurvanaWindow::*command)(), const QKeySequence& shortcut) {
    QAction* a = menu->addAction(text);
    a->setObjectName(name);
    a->setStatusTip(prompt);
    if (!shortcut.isEmpty()) a->setShortcut(shortcut);
    connect(a, &QAction::triggered, this, [this, command] { (this->*command)(); });
    return a;
}

QAction* CurvanaWindow::action(const QString& name) const {
    for (QAction* a : findChildren<QAction*>())
        if (a->objectName() == name) return a;
    return nullptr;
}

BoxAnswer CurvanaWindow::message(const QString& text, BoxIcon icon, BoxButtons buttons) {
    return prompter_.box(this, "Curvana", text, icon, buttons);
}

QList<GraphWindow*> CurvanaWindow::graphWindows() const {
    QList<GraphWindow*> windows;
    for (QMdiSubWindow* sub : area_->subWindowList(QMdiArea::CreationOrder))
        if (auto* g = qobject_cast<GraphWindow*>(sub->widget())) windows << g;
    return windows;
}

GraphWindow* CurvanaWindow::activeGraph() const {
    QMdiSubWindow* sub = area_->activeSubWindow();
    if (sub == nullptr) sub = area_->currentSubWindow();
    return sub != nullptr ? qobject_cast<GraphWindow*>(sub->widget()) : nullptr;
}

void CurvanaWindow::activate(GraphWindow* window) {
    for (QMdiSubWindow* sub : area_->subWindowList())
        if (sub->widget() == window) area_->setActiveSubWindow(sub);
    updateActions();
}

void CurvanaWindow::updateActions() {
    GraphWindow* g = activeGraph();
    for (const char* name : {"file.close", "file.save", "file.saveas", "file.print", "file.preview", "image.copy",
                             "image.bitmap", "image.png", "series.new", "series.manager", "plot.options",
                             "plot.colours", "plot.precision"})
        action(name)->setEnabled(g != nullptr);
    action("image.pngall")->setEnabled(!graphWindows().isEmpty());
    for (QAction* a : zoom_->actions()) {
        a->setEnabled(g != nullptr);
        a->setChecked(g != nullptr && a->data().toInt() == g->zoom());
    }
}

void CurvanaWindow::updateRecentItems() {
    for (int k = 0; k < RecentFiles::kSlots; ++k) {
        QAction* a = action("recent." + QString::number(k + 1));
        const std::string& path = recent_.slot(k);
        a->setText(path.empty() ? QString("Recent File") : "&" + QString::number(k + 1) + " " + fromPath(path));
        a->setEnabled(!path.empty());
    }
}

GraphWindow* CurvanaWindow::addGraph(CGraph graph, const QString& fileName) {
    auto* window = new GraphWindow(std::move(graph));
    if (!fileName.isEmpty()) window->setFileName(fileName);
    window->canClose = [this](GraphWindow& w) { return askToSave(w); };
    QMdiSubWindow* sub = area_->addSubWindow(window);
    sub->setAttribute(Qt::WA_DeleteOnClose);
    sub->setWindowTitle(window->title());
    connect(window, &GraphWindow::titleChanged, sub, &QMdiSubWindow::setWindowTitle);
    connect(sub, &QObject::destroyed, this, [this] { updateActions(); });
    const QSize picture = window->widget()->sizeHint();
    sub->resize(std::min(picture.width() + 30, std::max(320, area_->width() - 40)),
                std::min(picture.height() + 50, std::max(240, area_->height() - 40)));
    sub->show();
    area_->setActiveSubWindow(sub);
    updateActions();
    return window;
}

void CurvanaWindow::addGraphs(std::vector<CGraph> graphs) {
    for (CGraph& g : graphs) addGraph(std::move(g));
    if (!graphs.empty()) area_->cascadeSubWindows();
}

bool CurvanaWindow::askToSave(GraphWindow& window) {
    if (closingAll_ || !window.isModified()) return true;
    switch (message(QString("Save changes to %1?").arg(window.title()), BoxIcon::Warning,
                    BoxButtons::YesNoCancel)) {
        case BoxAnswer::Yes: return savePlot(&window);
        case BoxAnswer::No: return true;
        default: return false;
    }
}

bool CurvanaWindow::closeAll() {
    // Every question first: Cancel at any of them closes no window.
    for (GraphWindow* g : graphWindows())
        if (!askToSave(*g)) return false;
    closingAll_ = true;
    bool closed = true;
    for (QMdiSubWindow* sub : area_->subWindowList()) closed = sub->close() && closed;
    closingAll_ = false;
    return closed;
}

void CurvanaWindow::closeEvent(QCloseEvent* event) {
    if (!closeAll()) {
        event->ignore();
        return;
    }
    event->accept();
}

// ---------------------------------------------------------------- documents

void CurvanaWindow::newPlot() {
    CGraph graph;
    graph.options.title = toMString("Plot" + QString::number(++untitled_));
    addGraph(std::move(graph))->setModified(false);
}

void CurvanaWindow::openPlot() {
    const QString path = prompter_.openFileName(this, "Open", kPlotFilter, "zgf");
    if (!path.isEmpty()) openPlotFile(path);
}

bool CurvanaWindow::openPlotFile(const QString& path) {
    CGraph graph;
    MString problem;
    if (readPlotDocument(toMString(path), graph, problem) != 1) {
        message(toQString(problem));
        return false;
    }
    const QString absolute = QFileInfo(path).absoluteFilePath();
    addGraph(std::move(graph), absolute);
    recent_.add(toPath(absolute));
    recent_.save(RecentFiles::settingsFile());
    updateRecentItems();
    return true;
}

void CurvanaWindow::openRecent(int slot) {
    if (slot < 0 || slot >= RecentFiles::kSlots || recent_.slot(slot).empty()) return;
    openPlotFile(fromPath(recent_.slot(slot)));
}

bool CurvanaWindow::savePlot(GraphWindow* window) {
    if (window == nullptr) return false;
    if (window->fileName().isEmpty()) return savePlotAs(window);
    MString problem;
    if (writePlotDocument(window->graph(), toMString(window->fileName()), problem) != 1) {
        message(toQString(problem));
        return false;
    }
    window->setModified(false);
    return true;
}

bool CurvanaWindow::savePlotAs(GraphWindow* window) {
    if (window == nullptr) return false;
    const QString path = prompter_.saveFileName(this, "Save As", kPlotFilter, "zgf");
    if (path.isEmpty()) return false;
    MString problem;
    if (writePlotDocument(window->graph(), toMString(path), problem) != 1) {
        message(toQString(problem));
        return false;
    }
    const QString absolute = QFileInfo(path).absoluteFilePath();
    window->setFileName(absolute);
    window->setModified(false);
    recent_.add(toPath(absolute));
    recent_.save(RecentFiles::settingsFile());
    updateRecentItems();
    return true;
}

// ---------------------------------------------------------------- printing

bool CurvanaWindow::paintOnPrinter(const CGraph& graph, QPrinter& printer) {
    QPainter painter;
    if (!painter.begin(&printer)) return false;
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF page = printer.pageRect(QPrinter::DevicePixel);
    const double w = graph.options.width, h = graph.options.height;
    const double fit = std::min(page.width() / w, page.height() / h);
    const QRectF area(0, 0, w * fit, h * fit);
    render::paintGraph(painter, graph, area, render::pictureScale(graph.options.width, graph.options.height) * fit);
    return painter.end();
}

void CurvanaWindow::printPlot() {
    GraphWindow* g = activeGraph();
    if (g == nullptr || !prompter_.setUpPrinter(this, *printer_)) return;
    if (!paintOnPrinter(g->graph(), *printer_)) message("Error printing file.");
}

void CurvanaWindow::printPreview() {
    GraphWindow* g = activeGraph();
    if (g == nullptr) return;
    QPrintPreviewDialog preview(printer_, this);
    connect(&preview, &QPrintPreviewDialog::paintRequested, this,
            [this, g](QPrinter* printer) { paintOnPrinter(g->graph(), *printer); });
    prompter_.runDialog(preview);
}

void CurvanaWindow::printSetup() {
    QPageSetupDialog setup(printer_, this);
    prompter_.runDialog(setup);
}

// ---------------------------------------------------------------- images

void CurvanaWindow::copyToClipboard() {
    if (GraphWindow* g = activeGraph()) QGuiApplication::clipboard()->setImage(g->picture());
}

void CurvanaWindow::saveAsBitmap() {
    GraphWindow* g = activeGraph();
    if (g == nullptr) return;
    const QString path = prompter_.saveFileName(this, "Save As Bitmap", kBitmapFilter, "bmp");
    if (path.isEmpty()) return;
    MString problem;
    if (render::writeBitmap(g->picture(), toMString(path), problem) != 1) message(toQString(problem));
}

void CurvanaWindow::saveAsPng() {
    GraphWindow* g = activeGraph();
    if (g == nullptr) return;
    const QString path = prompter_.saveFileName(this, "Save As PNG", kPngFilter, "png");
    if (path.isEmpty()) return;
    MString problem;
    if (render::writePng(g->picture(), toMString(path), problem) != 1) message(toQString(problem));
}

void CurvanaWindow::saveAllAsPngs() {
    // "<title>.png" in the working directory; characters a file name cannot
    // hold become "_", and windows of one title keep apart ("A", "A (2)")
    // rather than overwrite each other's pictures.
    std::set<std::string> used;
    int written = 0;
    QStringList names;
    for (GraphWindow* g : graphWindows()) {
        const MString base = graphFileName(toMString(g->title()));
        MString name = base;
        for (int k = 2; used.count(name.str()) > 0; ++k) name = base + " (" + itoMString(k) + ")";
        used.insert(name.str());
        MString problem;
        if (render::writePng(g->picture(), name + ".png", problem) != 1) {
            message(toQString(problem));
            return;
        }
        ++written;
        names << toQString(name) + ".png";
    }
    // Where they went, in words that stay until read (a status line message
    // would go with the menu's own prompts).
    if (written > 0)
        message(QString("%1 %2 written to %3:\n%4")
                    .arg(written)
                    .arg(written == 1 ? "picture" : "pictures")
                    .arg(QDir::currentPath(), names.join(", ")),
                BoxIcon::Information);
}

// ---------------------------------------------------------------- series and options

void CurvanaWindow::newSeries() {
    GraphWindow* g = activeGraph();
    if (g == nullptr) return;
    QString name;
    MString cut;
    while (true) {
        if (!prompter_.askText(this, "Curvana", "Please enter a name for your new series.", name)) return;
        cut = toMString(name.trimmed());
        if (cut.length() > kSeriesNameMax) cut = cut.mid(0, kSeriesNameMax);
        if (cut.isEmpty()) return;
        if (g->graph().find(cut) < 0) break;
        message(QString("A series of the name '%1' already exists, please choose another name.").arg(toQString(cut)));
    }
    CSeries series;
    series.name = cut;
    SeriesDialog dialog(prompter_, series, true, this);
    if (prompter_.runDialog(dialog) != QDialog::Accepted) return;
    g->change([&](CGraph& graph) {
        const int k = graph.addSeries(cut);
        if (k >= 0) graph.series[static_cast<std::size_t>(k)] = dialog.series();
    });
}

void CurvanaWindow::seriesManager() {
    GraphWindow* g = activeGraph();
    if (g == nullptr) return;
    SeriesManager manager(prompter_, *g, this);
    prompter_.runDialog(manager);
}

void CurvanaWindow::plotOptions() {
    GraphWindow* g = activeGraph();
    if (g == nullptr) return;
    PlotOptionsDialog dialog(g->graph().options, this);
    if (prompter_.runDialog(dialog) != QDialog::Accepted) return;
    g->change([&](CGraph& graph) { graph.options = dialog.options(); });
}

void CurvanaWindow::plotColours() {
    GraphWindow* g = activeGraph();
    if (g == nullptr) return;
    PlotColoursDialog dialog(g->graph().options.colourScheme, this);
    if (prompter_.runDialog(dialog) != QDialog::Accepted) return;
    g->change([&](CGraph& graph) { graph.options.colourScheme = dialog.scheme(); });
}

void CurvanaWindow::plotPrecision() {
    GraphWindow* g = activeGraph();
    if (g == nullptr) return;
    PlotPrecisionDialog dialog(g->graph().options.xPrecision, g->graph().options.yPrecision, this);
    if (prompter_.runDialog(dialog) != QDialog::Accepted) return;
    g->change([&](CGraph& graph) {
        graph.options.xPrecision = dialog.xPrecision();
        graph.options.yPrecision = dialog.yPrecision();
    });
}

void CurvanaWindow::setZoom(int percent) {
    if (GraphWindow* g = activeGraph()) g->setZoom(percent);
    updateActions();
}

}  // namespace ordena::gui
