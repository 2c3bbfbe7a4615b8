// The Series Manager: the series of a graph, with Edit, Delete and Rename.
#pragma once

#include <QDialog>

#include "app/gui/prompter.h"

class QListWidget;

namespace ordena::gui {

class GraphWindow;

class SeriesManager : public QDialog {
    Q_OBJECT
public:
    SeriesManager(Prompter& prompter, GraphWindow& window, QWidget* parent = nullptr);

    QListWidget* list() const { return list_; }
    void editSeries();
    void deleteSeries();
    void renameSeries();

private:
    BoxAnswer message(const QString& text, BoxIcon icon = BoxIcon::Warning, BoxButtons buttons = BoxButtons::Ok);
    // The selected series' name; empty without a selection.
    QString selected() const;
    void refresh(const QString& select = QString());

    Prompter& prompter_;
    GraphWindow& window_;
    QListWidget* list_;
};

}  // namespace ordena::gui
