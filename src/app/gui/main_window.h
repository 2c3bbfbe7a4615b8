// The workbench's main window: the input pane with the script, the output
// pane with the reports, the menus that run the script or compose single
// statements, the status line, the recent-file list and the progress
// window. It owns no analysis: every run goes to the session through the
// runner, on the worker thread.
#pragma once

#include <QMainWindow>
#include <QPointer>
#include <array>
#include <functional>
#include <vector>

#include "app/compose/menu_statements.h"
#include "app/gui/curvana/curvana_window.h"
#include "app/gui/dialog_host.h"
#include "app/gui/gui_shell.h"
#include "app/gui/help_window.h"
#include "app/gui/progress_window.h"
#include "app/gui/recent_files.h"
#include "command/reader.h"

class QAction;
class QLabel;
class QMenu;
class QPlainTextEdit;
class QSplitter;

namespace ordena::gui {

class FindBar;
class OutputPane;
class Runner;
class ScriptEditor;

class MainWindow final : public QMainWindow, public DialogHost, private ShellView {
    Q_OBJECT
public:
    explicit MainWindow(Prompter& prompter, QWidget* parent = nullptr);
    ~MainWindow() override;

    // Panes, status line and state, as the user sees them.
    QPlainTextEdit* inputPane() const;
    ScriptEditor* scriptEditor() const { return input_; }
    FindBar* findBar() const { return findBar_; }
    // The user guide's window, once Help opened it.
    HelpWindow* helpWindow() const { return help_; }
    OutputPane* outputPane() const { return output_; }
    ProgressWindow* progressWindow() const { return progress_; }
    // The plotting component, once Launch Curvana or a plot statement opened it.
    CurvanaWindow* curvanaWindow() const { return curvana_; }
    QString statusPaneText(int pane) const;
    bool busy() const;
    const QString& documentName() const { return documentName_; }
    const QString& documentTitle() const { return documentTitle_; }
    const RecentFiles& recentFiles() const { return recent_; }
    // A menu item by its object name ("file.open", "run.all", "statement.3",
    // "recent.1", ...).
    QAction* action(const QString& name) const;

    // DialogHost
    Session& session() override;
    void pasteStatement(const QString& statement) override;
    bool runStatement(const QString& statement, std::function<void(int)> done = {}) override;
    // Makes a command dialog's menu item open it.
    void registerDialog(CommandDialog dialog, DialogOpener opener);

    // The menu commands.
    void runAll();
    void runSelection();
    // Runs the statement under the caret (a dofor loop whole), then moves
    // the caret to the next statement.
    void runStatementAtCursor();
    void stop();
    void newDocument();
    void openDocument();
    bool saveDocument();
    bool saveDocumentAs();
    // Opens a command file into the input pane, as Open does after its dialog.
    void openFile(const QString& path);
    void openRecent(int slot);
    void runMenuStatement(MenuStatement id);
    void saveOutput();
    void saveOutputAs();
    void printPane();
    void chooseFont();
    void about();
    // The guide's section on the statement under the caret in the input
    // pane; the list of statements when there is none.
    void helpOnStatement();
    HelpWindow* showGuide();
    // Shows the plotting component (made on first use).
    CurvanaWindow* launchCurvana();

signals:
    // After every run, with its result.
    void runFinished(int result);
    // Each text shown in a status pane.
    void statusShown(int pane, const QString& text);

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // ShellView: the window thread's half of the shell services.
    BoxAnswer shellBox(const QString& title, const QString& text, BoxIcon icon, BoxButtons buttons) override;
    void shellAppend(const QString& text) override;
    void shellClear() override;
    void shellOutputLimit(int characters) override;
    void shellStatus(const QString& text, int pane) override;
    void shellProgressOpen(bool jointMaximumLikelihood) override;
    void shellProgressIteration(int iteration) override;
    void shellProgressChanges(const ProgressChanges& changes) override;
    void shellProgressClose() override;
    void shellGraphs(std::vector<CGraph> graphs) override;

    enum class Need { None, Idle, Busy, Estimate, Dialog, Slot, Curvana };
    QAction* addItem(QMenu* menu, const QString& name, const QString& text, Need need,
                     std::function<void()> run, const QKeySequence& shortcut = QKeySequence());
    void addStatementItem(QMenu* menu, MenuStatement id);
    void addDialogItem(QMenu* menu, CommandDialog dialog, const QString& text);
    void buildMenus();
    void buildStatusLine();
    void updateActions();
    void updateTitle();
    void updateRecentItems();
    void addRecent(const QString& path);

    bool start(std::function<int(Session&)> job, std::function<void(int)> done = {});
    void finished(int result, bool fatal);
    // Starts a run of text, a part of the input pane from position at, that
    // marks its failing statement there; reset for Run All.
    void startScript(const QString& text, int at, bool reset);
    void markFailedStatement();
    // The command number of the statement under the caret, -1 for none;
    // loop for a dofor loop.
    int statementAtCursor(bool& loop) const;
    void restorePlacement();
    // A plot or help window where it was last (ordena.ini), else offset
    // from this one; deleted when closed.
    void placeWindow(QWidget* window, const char* key, int offset);
    void savePlacement();

    // The box of the Edit commands' failures.
    void editBox(const QString& text, BoxIcon icon = BoxIcon::Warning);
    // The save question; false when the command must not go on.
    bool saveQuestion();
    void emptyDocument();
    bool writeInput(const QString& path);
    bool writeOutput(const QString& path);
    // The pane the File and Edit commands act on: the one used last.
    QPlainTextEdit* activePane() const;
    void shutDown();

    Prompter& prompter_;
    GuiShell shell_;
    Runner* runner_ = nullptr;
    ScriptEditor* input_ = nullptr;
    OutputPane* output_ = nullptr;
    FindBar* findBar_ = nullptr;
    QSplitter* splitter_ = nullptr;
    QPointer<HelpWindow> help_;
    QLabel* inputTitle_ = nullptr;
    QLabel* outputTitle_ = nullptr;
    bool outputActive_ = false;
    QPointer<ProgressWindow> progress_;
    QPointer<CurvanaWindow> curvana_;
    std::array<QLabel*, 4> status_{};
    QMenu* fileMenu_ = nullptr;
    QMenu* editMenu_ = nullptr;
    QMenu* commandMenu_ = nullptr;
    QMenu* analysisMenu_ = nullptr;
    QMenu* tablesMenu_ = nullptr;
    QAction* displayProgress_ = nullptr;
    struct Item {
        QAction* action;
        Need need;
        int index;  // the dialog or recent slot
    };
    std::vector<Item> items_;
    std::array<DialogOpener, static_cast<std::size_t>(CommandDialog::Count)> dialogs_{};

    QString documentName_;
    QString documentTitle_ = "(Untitled)";
    bool documentCrLf_ = false;  // the command file ended its lines with CR LF
    QString outputName_;
    RecentFiles recent_;
    std::function<void(int)> done_;  // the caller's continuation of the current run
    bool closing_ = false;
    // The script of the run going on, where it stands in the input pane,
    // and where its failing statement stood in it; written by the worker,
    // read after the run.
    struct ScriptRun {
        bool placing = false;
        QString text;
        int at = 0;
        ScriptPlace failed;
    } scriptRun_;
    // Where the plot and help windows were when they last closed.
    QByteArray curvanaGeometry_;
    QByteArray helpGeometry_;
    // The interrupt question was answered Yes during the run.
    bool stopped_ = false;
};

}  // namespace ordena::gui
