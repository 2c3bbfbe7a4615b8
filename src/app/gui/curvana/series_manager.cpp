#include "app/gui/curvana/series_manager.h"

#include <QHBoxLayout>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/gui/curvana/graph_window.h"
#include "app/gui/curvana/series_dialog.h"
#include "app/gui/gui_shell.h"

namespace ordena::gui {

SeriesManager::SeriesManager(Prompter& prompter, GraphWindow& window, QWidget* parent)
    : QDialog(parent), prompter_(prompter), window_(window) {
    setWindowTitle("Series Manager - " + window.title());
    list_ = new QListWidget(this);
    list_->setObjectName("series");
    auto* edit = new QPushButton("Edit...", this);
    auto* remove = new QPushButton("Delete", this);
    auto* rename = new QPushButton("Rename...", this);
    auto* close = new QPushButton("Close", this);
    connect(edit, &QPushButton::clicked, this, &SeriesManager::editSeries);
    connect(remove, &QPushButton::clicked, this, &SeriesManager::deleteSeries);
    connect(rename, &QPushButton::clicked, this, &SeriesManager::renameSeries);
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
    connect(list_, &QListWidget::itemDoubleClicked, this, &SeriesManager::editSeries);
    auto* buttons = new QVBoxLayout;
    for (QPushButton* b : {edit, remove, rename}) buttons->addWidget(b);
    buttons->addStretch();
    buttons->addWidget(close);
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(list_, 1);
    layout->addLayout(buttons);
    resize(520, 320);
    refresh();
}

BoxAnswer SeriesManager::message(const QString& text, BoxIcon icon, BoxButtons buttons) {
    return prompter_.box(this, "Curvana", text, icon, buttons);
}

QString SeriesManager::selected() const {
    const QListWidgetItem* item = list_->currentItem();
    return item != nullptr && item->isSelected() ? item->text() : QString();
}

void SeriesManager::refresh(const QString& select) {
    list_->clear();
    for (const CSeries& s : window_.graph().series) list_->addItem(toQString(s.name));
    if (!select.isEmpty()) {
        const auto found = list_->findItems(select, Qt::MatchExactly);
        if (!found.isEmpty()) list_->setCurrentItem(found.first());
    }
}

void SeriesManager::editSeries() {
    const QString name = selected();
    if (name.isEmpty()) {
        message("Select a series.");
        return;
    }
    const int k = window_.graph().find(toMString(name));
    if (k < 0) return;
    SeriesDialog dialog(prompter_, window_.graph().series[static_cast<std::size_t>(k)], false, this);
    if (prompter_.runDialog(dialog) != QDialog::Accepted) return;
    window_.change([&](CGraph& g) { g.series[static_cast<std::size_t>(k)] = dialog.series(); });
    refresh(name);
}

void SeriesManager::deleteSeries() {
    const QString name = selected();
    if (name.isEmpty()) {
        message("No Series selected.");
        return;
    }
    if (message(QString("Are you sure you want to delete the Series: '%1'?").arg(name), BoxIcon::Question,
                BoxButtons::YesNo) != BoxAnswer::Yes)
        return;
    const int k = window_.graph().find(toMString(name));
    if (k < 0) {
        message("Unable to delete Series, does not exist or is not active.");
        return;
    }
    window_.change([&](CGraph& g) { g.series.erase(g.series.begin() + k); });
    refresh();
}

void SeriesManager::renameSeries() {
    const QString name = selected();
    if (name.isEmpty()) {
        message("Select a series.");
        return;
    }
    QString newName = name;
    while (true) {
        if (!prompter_.askText(this, "Curvana", "Please enter a new name for the series.", newName)) return;
        MString cut = toMString(newName.trimmed());
        if (cut.length() > kSeriesNameMax) cut = cut.mid(0, kSeriesNameMax);
        newName = toQString(cut);
        if (newName.isEmpty() || newName == name) return;
        if (window_.graph().find(toMString(newName)) < 0) break;
        message("A Series with that name already exists!  Please choose another name.");
    }
    const int k = window_.graph().find(toMString(name));
    if (k < 0) return;
    window_.change([&](CGraph& g) { g.series[static_cast<std::size_t>(k)].name = toMString(newName); });
    refresh(newName);
}

}  // namespace ordena::gui
