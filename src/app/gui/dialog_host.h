// What the command dialogs need of the main window: the session to read
// the workspace from, and the two ways to use a composed statement.
#pragma once

#include <QString>
#include <functional>

namespace ordena {
class Session;
}

namespace ordena::gui {

class DialogHost {
public:
    virtual ~DialogHost() = default;
    // The workspace the dialog shows; only between runs.
    virtual Session& session() = 0;
    // Appends the statement, ";" and a line end at the end of the input pane.
    virtual void pasteStatement(const QString& statement) = 0;
    // Runs the statement as a composed statement; done gets its result (1
    // or -1) on the window thread. False when a run is going on.
    virtual bool runStatement(const QString& statement, std::function<void(int)> done = {}) = 0;
};

// The command dialogs that the menus open; their items stay disabled until
// a dialog is registered for them.
enum class CommandDialog {
    Title,
    Format,
    Delete,
    CaseWeight,
    MissingValues,
    Codes,
    Recode,
    ScoringKey,
    ScoringNonKey,
    Model,
    RegressionModel,
    GroupingVariables,
    Set,
    Estimate,
    LatentDescriptives,
    TraditionalItemStatistics,
    PlotIcc,
    PlotTcc,
    PlotIinfo,
    PlotTinfo,
    PlotExpected,
    PlotCcc,
    PlotMcc,
    Count
};

// Opens a dialog over the host (modal; it runs or pastes through the host).
using DialogOpener = std::function<void(DialogHost& host)>;

}  // namespace ordena::gui
