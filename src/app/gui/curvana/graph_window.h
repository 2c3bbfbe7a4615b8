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
inline constexpr int kDefaultZoom = 75;

// The picture of a graph at a zoom level of its size.
class GraphCanvas : public QWidget {
public:
    GraphCanvas(const CGraph& graph, QWidget* parent);
    void setZoom(int percent);
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    const CGraph& graph_;
    int zoom_ = kDefaultZoom;
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

private:
    CGraph graph_;
    QString fileName_;
    bool modified_ = false;
    int zoom_ = kDefaultZoom;
    GraphCanvas* canvas_;
};

}  // namespace ordena::gui
