#include "app/gui/curvana/graph_window.h"

#include <QCloseEvent>
#include <QFileInfo>
#include <QPainter>
#include <algorithm>
#include <cmath>

#include "app/render/graph_painter.h"

namespace ordena::gui {

GraphCanvas::GraphCanvas(const CGraph& graph, QWidget* parent) : QWidget(parent), graph_(graph) {
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void GraphCanvas::setZoom(double percent) {
    zoom_ = percent;
    resize(sizeHint());
    update();
}

QSize GraphCanvas::sizeHint() const {
    const int w = std::max(1, static_cast<int>(std::lround(graph_.options.width * zoom_ / 100.0)));
    const int h = std::max(1, static_cast<int>(std::lround(graph_.options.height * zoom_ / 100.0)));
    return {w, h};
}

void GraphCanvas::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const double scale = render::pictureScale(graph_.options.width, graph_.options.height) * zoom_ / 100.0;
    render::paintGraph(painter, graph_, QRectF(QPointF(0, 0), QSizeF(size())), scale);
}

GraphWindow::GraphWindow(CGraph graph, QWidget* parent) : QScrollArea(parent), graph_(std::move(graph)) {
    canvas_ = new GraphCanvas(graph_, this);
    setWidget(canvas_);
    setZoom(zoom_);
    setAlignment(Qt::AlignCenter);
    setBackgroundRole(QPalette::Dark);
    setWindowTitle(title());
}

void GraphWindow::change(const std::function<void(CGraph&)>& edit) {
    const QString before = title();
    edit(graph_);
    modified_ = true;
    if (zoom_ == kZoomFit)
        fit();
    else
        canvas_->resize(canvas_->sizeHint());
    canvas_->update();
    if (title() != before) {
        setWindowTitle(title());
        emit titleChanged(title());
    }
}

void GraphWindow::setFileName(const QString& fileName) {
    fileName_ = fileName;
    setWindowTitle(title());
    emit titleChanged(title());
}

void GraphWindow::setZoom(int percent) {
    zoom_ = percent;
    // Fitted, the picture never needs scroll bars; they would only take the
    // room it is fitted to.
    const Qt::ScrollBarPolicy bars = percent == kZoomFit ? Qt::ScrollBarAlwaysOff : Qt::ScrollBarAsNeeded;
    setHorizontalScrollBarPolicy(bars);
    setVerticalScrollBarPolicy(bars);
    if (percent == kZoomFit)
        fit();
    else
        canvas_->setZoom(percent);
}

void GraphWindow::fit() {
    const QSize room = viewport()->size();
    const double w = std::max(1, graph_.options.width), h = std::max(1, graph_.options.height);
    const double percent = 100.0 * std::min(room.width() / w, room.height() / h);
    canvas_->setZoom(std::clamp(percent, 5.0, 400.0));
}

void GraphWindow::resizeEvent(QResizeEvent* event) {
    QScrollArea::resizeEvent(event);
    if (zoom_ == kZoomFit) fit();
}

QString GraphWindow::title() const {
    if (!fileName_.isEmpty()) return QFileInfo(fileName_).completeBaseName();
    return QString::fromUtf8(graph_.options.title.c_str(), static_cast<qsizetype>(graph_.options.title.length()));
}

QImage GraphWindow::picture() const { return render::renderGraph(graph_); }

void GraphWindow::closeEvent(QCloseEvent* event) {
    if (canClose && !canClose(*this)) {
        event->ignore();
        return;
    }
    event->accept();
}

}  // namespace ordena::gui
