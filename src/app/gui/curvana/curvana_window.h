// Curvana, the plotting component: a window holding graph windows, each
// one plot document, with the menus that make, style, store, print and
// export them. The plot statement opens its graphs here; Plot > Launch
// Curvana opens it empty.
#pragma once

#include <QMainWindow>
#include <vector>

#include "app/gui/prompter.h"
#include "app/gui/recent_files.h"
#include "plot/graph.h"

class QActionGroup;
class QMdiArea;
class QMdiSubWindow;
class QPrinter;

namespace ordena::gui {

class GraphWindow;

class CurvanaWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit CurvanaWindow(Prompter& prompter, QWidget* parent = nullptr);
    ~CurvanaWindow() override;

    // A window for each graph of a plot statement.
    void addGraphs(std::vector<CGraph> graphs);
    // A window for the graph; fileName names its document.
    GraphWindow* addGraph(CGraph graph, const QString& fileName = QString());
    QList<GraphWindow*> graphWindows() const;
    GraphWindow* activeGraph() const;
    void activate(GraphWindow* window);
    // A menu item by its object name ("file.open", "image.pngall", "zoom.50", ...).
    QAction* action(const QString& name) const;
    const RecentFiles& recentFiles() const { return recent_; }

    // The menu commands, on the active graph window where they need one.
    void newPlot();
    void openPlot();
    bool openPlotFile(const QString& path);
    bool savePlot(GraphWindow* window);
    bool savePlotAs(GraphWindow* window);
    void printPlot();
    void printPreview();
    void printSetup();
    void copyToClipboard();
    void saveAsBitmap();
    void saveAsPng();
    void saveAllAsPngs();
    void newSeries();
    void seriesManager();
    void plotOptions();
    void plotColours();
    void plotPrecision();
    void setZoom(int percent);
    void openRecent(int slot);

    // Closes every graph window, asking about unsaved changes; false when
    // the user kept one open.
    bool closeAll();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    BoxAnswer message(const QString& text, BoxIcon icon = BoxIcon::Warning, BoxButtons buttons = BoxButtons::Ok);
    QAction* addItem(QMenu* menu, const QString& name, const QString& text, const QString& prompt,
                     void (CurvanaWindow::*command)(), const QKeySequence& shortcut = QKeySequence());
    void updateActions();
    void updateRecentItems();
    bool askToSave(GraphWindow& window);
    // Draws the graph on a printer page, keeping the picture's proportions.
    bool paintOnPrinter(const CGraph& graph, QPrinter& printer);

    Prompter& prompter_;
    QMdiArea* area_;
    QActionGroup* zoom_;
    QPrinter* printer_;
    RecentFiles recent_{"Curvana Recent File List"};
    int untitled_ = 0;
    bool closingAll_ = false;  // the questions were asked: close without asking again
};

}  // namespace ordena::gui
