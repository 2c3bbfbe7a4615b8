// A graph window of the plotting component: one graph, as a plot document
// holds it, drawn by the shared painter at a zoom level.
#pragma once

#include <QImage>
#include <QScrollArea>
#include <QString>
#include <functional>

#include "plot/graph.h"

namespace ordena::gui {

inline constexpr int kZoomLevels[] = {20, 25, 50, 75, 100, 125, 150, 175, 200};
// "Fit to Window": the picture as large as the window shows it whole,
// following the window's size; the zoom of a new window.
inline constexpr int kZoomFit = 0;
inline constexpr int kDefaultZoom = kZoomFit;

// The picture of a graph at a zoom level of its size.
class GraphCanvas : public QWidget {
public:
    GraphCanvas(const CGraph& graph, QWidget* parent);
    void setZoom(double percent);
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    const CGraph& graph_;
    double zoom_ = 75;
};

class GraphWindow : public QScrollArea {
    Q_OBJECT
public:
    explicit GraphWindow(CGraph graph, QWidget* parent = nullptr);

    const CGraph& graph() const { return graph_; }
    // Changes the graph and draws it again; the document is then modified.
    void change(const std::function<void(CGraph&)>& edit);

    // The plot document's file; empty until it is saved or when it was opened.
    const QString& fileName() const { return fileName_; }
    void setFileName(const QString& fileName);
    bool isModified() const { return modified_; }
    void setModified(bool modified) { modified_ = modified; }
    // The zoom chosen: a percentage, or kZoomFit.
    int zoom() const { return zoom_; }
    void setZoom(int percent);

    // The window's title: the document file's name without its extension,
    // or the graph's title.
    QString title() const;
    // The graph's picture at its own size.
    QImage picture() const;

    // Asked before the window closes; false keeps it open.
    std::function<bool(GraphWindow&)> canClose;

signals:
    void titleChanged(const QString& title);

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    // In Fit to Window, the percentage at which the picture fills the view.
    void fit();

    CGraph graph_;
    QString fileName_;
    bool modified_ = false;
    int zoom_ = kDefaultZoom;
    GraphCanvas* canvas_;
};

}  // namespace ordena::gui
