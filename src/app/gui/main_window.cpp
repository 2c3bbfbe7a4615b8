#include "app/gui/main_window.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFontDatabase>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPrinter>
#include <QScreen>
#include <QSaveFile>
#include <QSplitter>
#include <QStatusBar>
#include <QTextCursor>
#include <QVBoxLayout>
#include <algorithm>

#include "app/gui/find_bar.h"
#include "app/gui/help_window.h"
#include "app/gui/ini_section.h"
#include "app/gui/output_pane.h"
#include "app/gui/pane_font.h"
#include "app/gui/script_editor.h"
#include "app/gui/progress_window.h"
#include "app/gui/runner.h"
#include "app/gui/text_printer.h"
#include "command/command_table.h"
#include "command/parse.h"
#include "command/reader.h"

namespace ordena::gui {

namespace {

constexpr const char* kStartTitle = "Ordena: Generalised Item Response Modelling Software";
constexpr const char* kOpenFilter = "Command Files (*.zrc)|*.zrc|All Files (*.*)|*.*||";
constexpr const char* kSaveFilter = "Ordena Control Files (*.zrc)|*.zrc|Text Files (*.txt)|*.txt|All Files (*.*)|*.*||";
constexpr const char* kOutputFilter = "Text Files (*.txt)|*.txt|All Files (*.*)|*.*||";
// A command file must be smaller than the most a script may hold.
constexpr qint64 kInputFileLimit = static_cast<qint64>(kMaxScriptBytes);
// The section of ordena.ini that keeps the windows' places and sizes.
constexpr const char* kPlacementSection = "Window Placement";

QString fromPath(const std::string& path) { return QFile::decodeName(QByteArray::fromStdString(path)); }
std::string toPath(const QString& path) { return QFile::encodeName(path).toStdString(); }

// A pane with its title above it.
QWidget* titled(QLabel* title, QWidget* pane, QWidget* parent) {
    auto* box = new QWidget(parent);
    auto* layout = new QVBoxLayout(box);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->setSpacing(2);
    layout->addWidget(title);
    layout->addWidget(pane);
    return box;
}

// A window no larger than the screen it is on, and on it.
void fitToScreen(QWidget* window) {
    const QScreen* screen = window->screen();
    if (screen == nullptr) return;
    const QRect room = screen->availableGeometry();
    // Before the window is shown its frame is not known; a title bar's worth.
    QSize frame = window->frameGeometry().size() - window->geometry().size();
    if (!window->isVisible()) frame = frame.expandedTo(QSize(16, 40));
    QSize size = window->size().boundedTo(room.size() - frame);
    if (size != window->size()) window->resize(size);
    QPoint at = window->pos();
    at.setX(std::clamp(at.x(), room.left(), std::max(room.left(), room.right() - window->frameGeometry().width())));
    at.setY(std::clamp(at.y(), room.top(), std::max(room.top(), room.bottom() - window->frameGeometry().height())));
    if (at != window->pos()) window->move(at);
}

QByteArray placementValue(const IniEntries& entries, const std::string& key) {
    for (const auto& [k, v] : entries)
        if (k == key) return QByteArray::fromBase64(QByteArray::fromStdString(v));
    return QByteArray();
}

// The statement of places under or nearest the caret at byte offset b:
// the one that holds it, else the one that ends before it on its line,
// else the next one; -1 for none.
int placeAt(const std::vector<ScriptPlace>& places, const QByteArray& bytes, std::size_t b) {
    for (std::size_t k = 0; k < places.size(); ++k)
        if (places[k].begin <= b && b < places[k].end) return static_cast<int>(k);
    for (std::size_t k = places.size(); k-- > 0;) {
        if (places[k].end > b) continue;
        const QByteArray between = bytes.mid(static_cast<qsizetype>(places[k].end),
                                             static_cast<qsizetype>(b - places[k].end));
        if (!between.contains('\n')) return static_cast<int>(k);
        break;
    }
    for (std::size_t k = 0; k < places.size(); ++k)
        if (places[k].begin >= b) return static_cast<int>(k);
    return places.empty() ? -1 : static_cast<int>(places.size()) - 1;
}

}  // namespace

MainWindow::MainWindow(Prompter& prompter, QWidget* parent)
    : QMainWindow(parent), prompter_(prompter), shell_(*this) {
    setWindowTitle(kStartTitle);
    move(10, 10);
    resize(600, 490);

    input_ = new ScriptEditor(this);
    input_->setObjectName("inputPane");
    input_->setLineWrapMode(QPlainTextEdit::NoWrap);
    input_->setFont(paneFont());
    output_ = new OutputPane(this);
    output_->setObjectName("outputPane");
    inputTitle_ = new QLabel("Input Window", this);
    outputTitle_ = new QLabel("Output Window", this);
    auto* central = new QWidget(this);
    auto* column = new QVBoxLayout(central);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    splitter_ = new QSplitter(Qt::Vertical, central);
    splitter_->setObjectName("panes");
    splitter_->addWidget(titled(inputTitle_, input_, splitter_));
    splitter_->addWidget(titled(outputTitle_, output_, splitter_));
    splitter_->setSizes({240, 200});
    // A larger window gives the room to the reports.
    splitter_->setStretchFactor(0, 0);
    splitter_->setStretchFactor(1, 1);
    column->addWidget(splitter_, 1);
    findBar_ = new FindBar(central);
    findBar_->setTarget(input_);
    column->addWidget(findBar_);
    setCentralWidget(central);
    connect(qApp, &QApplication::focusChanged, this, [this](QWidget*, QWidget* now) {
        if (now != input_ && now != output_) return;
        outputActive_ = now == output_;
        findBar_->setTarget(activePane());
        QFont bold = inputTitle_->font();
        bold.setBold(true);
        QFont plain = bold;
        plain.setBold(false);
        inputTitle_->setFont(outputActive_ ? plain : bold);
        outputTitle_->setFont(outputActive_ ? bold : plain);
        updateActions();
    });

    buildStatusLine();
    // The session starts here; its reset writes the status panes directly.
    runner_ = new Runner(shell_, this);
    connect(runner_, &Runner::finished, this, &MainWindow::finished);
    status_[0]->setText("Ready");
    status_[1]->setText("Log file: NONE");
    status_[2]->setText("Warnings: YES");
    status_[3]->setText("Automatic Estimate Updates: NO");

    buildMenus();
    recent_.load(RecentFiles::settingsFile());
    updateRecentItems();
    // The panes exist from the start: the window opens with a new document.
    emptyDocument();
    input_->setFocus();
    updateActions();
    restorePlacement();
}

MainWindow::~MainWindow() {
    // The base class's destructor still moves the focus; this is gone by then.
    disconnect(qApp, nullptr, this, nullptr);
    // A run still going on ends before the session goes.
    delete runner_;
    runner_ = nullptr;
}

// ---------------------------------------------------------------- menus

QAction* MainWindow::addItem(QMenu* menu, const QString& name, const QString& text, Need need,
                             std::function<void()> run, const QKeySequence& shortcut) {
    auto* a = new QAction(text, this);
    a->setObjectName(name);
    if (!shortcut.isEmpty()) a->setShortcut(shortcut);
    if (run) connect(a, &QAction::triggered, this, [run = std::move(run)] { run(); });
    menu->addAction(a);
    items_.push_back({a, need, -1});
    return a;
}

void MainWindow::addStatementItem(QMenu* menu, MenuStatement id) {
    const MenuStatementItem& item = menuStatement(id);
    addItem(menu, "statement." + QString::number(static_cast<int>(id)), item.label,
            item.needsEstimate ? Need::Estimate : Need::Idle, [this, id] { runMenuStatement(id); });
}

void MainWindow::addDialogItem(QMenu* menu, CommandDialog dialog, const QString& text) {
    const int index = static_cast<int>(dialog);
    QAction* a = addItem(menu, "dialog." + QString::number(index), text, Need::Dialog, [this, index] {
        if (!busy() && dialogs_[static_cast<std::size_t>(index)]) dialogs_[static_cast<std::size_t>(index)](*this);
    });
    (void)a;
    items_.back().index = index;
}

void MainWindow::buildMenus() {
    using M = MenuStatement;
    using D = CommandDialog;
    QMenuBar* bar = menuBar();

    fileMenu_ = bar->addMenu("&File");
    addItem(fileMenu_, "file.new", "&New", Need::Idle, [this] { newDocument(); }, QKeySequence::New);
    addItem(fileMenu_, "file.open", "&Open...", Need::Idle, [this] { openDocument(); }, QKeySequence::Open);
    addItem(fileMenu_, "file.save", "&Save", Need::Idle, [this] {
        if (outputActive_) saveOutput(); else saveDocument();
    }, QKeySequence::Save);
    addItem(fileMenu_, "file.saveas", "Save &As...", Need::Idle, [this] {
        if (outputActive_) saveOutputAs(); else saveDocumentAs();
    });
    fileMenu_->addSeparator();
    addStatementItem(fileMenu_, M::SubmitCommands);
    fileMenu_->addSeparator();
    addStatementItem(fileMenu_, M::SaveSystemFile);
    addStatementItem(fileMenu_, M::GetSystemFile);
    QMenu* exportMenu = fileMenu_->addMenu("&Export");
    for (M id : {M::ExportItemParameters, M::ExportRegressionParameters, M::ExportCovariance, M::ExportDesignMatrix,
                 M::ExportLogFile, M::ExportScoredData})
        addStatementItem(exportMenu, id);
    QMenu* importMenu = fileMenu_->addMenu("&Import");
    for (M id : {M::ImportItemAnchors, M::ImportItemInitialValues, M::ImportRegressionAnchors,
                 M::ImportRegressionInitialValues, M::ImportCovarianceAnchors, M::ImportCovarianceInitialValues,
                 M::ImportDesignMatrix})
        addStatementItem(importMenu, id);
    fileMenu_->addSeparator();
    addItem(fileMenu_, "file.print", "&Print...", Need::Idle, [this] { printPane(); }, QKeySequence::Print);
    fileMenu_->addSeparator();
    for (int k = 0; k < RecentFiles::kSlots; ++k) {
        addItem(fileMenu_, "recent." + QString::number(k + 1), "Recent File", Need::Slot, [this, k] { openRecent(k); });
        items_.back().index = k;
    }
    fileMenu_->addSeparator();
    addItem(fileMenu_, "file.exit", "E&xit", Need::Idle, [this] { close(); }, QKeySequence::Quit);

    editMenu_ = bar->addMenu("&Edit");
    addItem(editMenu_, "edit.undo", "&Undo", Need::Idle, [this] { activePane()->undo(); }, QKeySequence::Undo);
    editMenu_->addSeparator();
    addItem(editMenu_, "edit.cut", "Cu&t", Need::Idle, [this] { activePane()->cut(); }, QKeySequence::Cut);
    addItem(editMenu_, "edit.copy", "&Copy", Need::Idle, [this] { activePane()->copy(); }, QKeySequence::Copy);
    addItem(editMenu_, "edit.paste", "&Paste", Need::Idle, [this] { activePane()->paste(); }, QKeySequence::Paste);
    addItem(editMenu_, "edit.delete", "&Delete", Need::Idle, [this] {
        if (!activePane()->isReadOnly()) activePane()->textCursor().removeSelectedText();
    }, QKeySequence::Delete);
    editMenu_->addSeparator();
    addItem(editMenu_, "edit.selectall", "Select &All", Need::Idle, [this] { activePane()->selectAll(); },
            QKeySequence::SelectAll);
    editMenu_->addSeparator();
    addItem(editMenu_, "edit.font", "&Font...", Need::Idle, [this] { chooseFont(); });
    editMenu_->addSeparator();
    addItem(editMenu_, "edit.find", "&Find...", Need::None, [this] {
        findBar_->setTarget(activePane());
        findBar_->showFind();
    }, QKeySequence("Ctrl+F"));
    addItem(editMenu_, "edit.replace", "&Replace...", Need::None, [this] {
        findBar_->setTarget(activePane());
        findBar_->showReplace();
    }, QKeySequence("Ctrl+H"));
    addItem(editMenu_, "edit.findnext", "Find &Next", Need::None, [this] { findBar_->findNext(); },
            QKeySequence(Qt::Key_F3));
    addItem(editMenu_, "edit.findprevious", "Find Pre&vious", Need::None, [this] { findBar_->findNext(true); },
            QKeySequence(Qt::SHIFT | Qt::Key_F3));

    commandMenu_ = bar->addMenu("&Command");
    addDialogItem(commandMenu_, D::Title, "Title...");
    addStatementItem(commandMenu_, M::DataFile);
    addDialogItem(commandMenu_, D::Format, "Format...");
    addStatementItem(commandMenu_, M::Labels);
    addDialogItem(commandMenu_, D::Codes, "Codes...");
    addDialogItem(commandMenu_, D::Recode, "Recode...");
    QMenu* scoring = commandMenu_->addMenu("&Scoring");
    addDialogItem(scoring, D::ScoringKey, "Key...");
    addDialogItem(scoring, D::ScoringNonKey, "Non-Key...");
    addDialogItem(commandMenu_, D::Delete, "Delete...");
    addDialogItem(commandMenu_, D::MissingValues, "Missing Values...");
    addDialogItem(commandMenu_, D::CaseWeight, "Case Weight...");
    addDialogItem(commandMenu_, D::Model, "Model...");
    addDialogItem(commandMenu_, D::RegressionModel, "Regression Model...");
    addDialogItem(commandMenu_, D::GroupingVariables, "Grouping Variables...");
    commandMenu_->addSeparator();
    addDialogItem(commandMenu_, D::Set, "Set...");
    commandMenu_->addSeparator();
    addStatementItem(commandMenu_, M::Reset);
    addItem(commandMenu_, "command.clearoutput", "Clear Output", Need::Idle, [this] { output_->clearText(); });

    QMenu* run = bar->addMenu("&Run");
    addItem(run, "run.all", "Run &All", Need::Idle, [this] { runAll(); }, QKeySequence("Ctrl+R"));
    addItem(run, "run.selection", "Run &Selection", Need::Idle, [this] { runSelection(); }, QKeySequence("Ctrl+E"));
    QAction* current = addItem(run, "run.statement", "Run &Current Statement", Need::Idle,
                               [this] { runStatementAtCursor(); });
    current->setShortcuts({QKeySequence(Qt::CTRL | Qt::Key_Return), QKeySequence(Qt::CTRL | Qt::Key_Enter)});
    addItem(run, "run.stop", "S&top", Need::Busy, [this] { stop(); }, QKeySequence(Qt::Key_Escape));

    analysisMenu_ = bar->addMenu("&Analysis");
    addDialogItem(analysisMenu_, D::Estimate, "Estimate...");
    addStatementItem(analysisMenu_, M::Fit);
    QMenu* descriptives = analysisMenu_->addMenu("&Descriptives");
    addDialogItem(descriptives, D::LatentDescriptives, "Latent Variables...");

    tablesMenu_ = bar->addMenu("&Tables");
    for (M id : {M::SummaryTable, M::ItemParameterEstimates, M::PopulationParameterEstimates,
                 M::CombinedItemDifficultyMap, M::GinThresholdMap, M::GinThresholdTable,
                 M::ByDimensionItemDifficultyMaps, M::EstimatesCovarianceMatrix})
        addStatementItem(tablesMenu_, id);
    tablesMenu_->addSeparator();
    QMenu* equivalence = tablesMenu_->addMenu("Raw Score<->Logit Equivalence");
    addStatementItem(equivalence, M::EquivalenceMle);
    addStatementItem(equivalence, M::EquivalenceWle);
    addDialogItem(tablesMenu_, D::TraditionalItemStatistics, "Traditional Item Statistics...");
    tablesMenu_->addSeparator();
    for (M id : {M::WriteThresholdFile, M::WriteDeltaFile, M::WritePlausibleValueFile, M::WriteEapFile,
                 M::WriteMleFile, M::WriteWleFile})
        addStatementItem(tablesMenu_, id);
    QMenu* equivalenceFile = tablesMenu_->addMenu("Raw Score<->Logit Equivalence File");
    addStatementItem(equivalenceFile, M::EquivalenceFileMle);
    addStatementItem(equivalenceFile, M::EquivalenceFileWle);
    addStatementItem(tablesMenu_, M::ExportTraditionalItemStatistics);

    QMenu* plot = bar->addMenu("&Plot");
    addDialogItem(plot, D::PlotIcc, "Characteristic Curves By Score...");
    addDialogItem(plot, D::PlotTcc, "Test Characteristic Curve...");
    addDialogItem(plot, D::PlotIinfo, "Item Information...");
    addDialogItem(plot, D::PlotTinfo, "Test Information...");
    addDialogItem(plot, D::PlotExpected, "Item Expected Score Curves...");
    addDialogItem(plot, D::PlotCcc, "Cumulative item Characteristic Curves...");
    addDialogItem(plot, D::PlotMcc, "Characteristic Curves By Category...");
    plot->addSeparator();
    addItem(plot, "plot.curvana", "Launch Curvana", Need::Curvana, [this] { launchCurvana(); });

    QMenu* options = bar->addMenu("&Options");
    displayProgress_ = addItem(options, "options.progress", "Display Progress", Need::None, {});
    displayProgress_->setCheckable(true);
    displayProgress_->setChecked(true);

    QMenu* help = bar->addMenu("&Help");
    addItem(help, "help.statement", "&Help on Statement", Need::None, [this] { helpOnStatement(); },
            QKeySequence(Qt::Key_F1));
    addItem(help, "help.guide", "&User Guide", Need::None, [this] { showGuide()->showPage("README.md"); });
    help->addSeparator();
    addItem(help, "help.about", "&About this program", Need::None, [this] { about(); });
}

void MainWindow::buildStatusLine() {
    for (int k = 0; k < 4; ++k) {
        status_[static_cast<std::size_t>(k)] = new QLabel(this);
        status_[static_cast<std::size_t>(k)]->setObjectName("status." + QString::number(k));
    }
    statusBar()->addWidget(status_[0], 1);
    for (int k = 1; k < 4; ++k) statusBar()->addPermanentWidget(status_[static_cast<std::size_t>(k)]);
}

QAction* MainWindow::action(const QString& name) const {
    for (const Item& item : items_)
        if (item.action->objectName() == name) return item.action;
    return nullptr;
}

bool MainWindow::busy() const { return runner_ != nullptr && runner_->busy(); }

Session& MainWindow::session() { return runner_->session(); }

QString MainWindow::statusPaneText(int pane) const {
    if (pane < 0 || pane >= 4) return QString();
    return status_[static_cast<std::size_t>(pane)]->text();
}

void MainWindow::registerDialog(CommandDialog dialog, DialogOpener opener) {
    dialogs_[static_cast<std::size_t>(dialog)] = std::move(opener);
    updateActions();
}

void MainWindow::updateActions() {
    const bool running = busy();
    const bool estimated = !running && session().ws.est.estimated != 0;
    for (const Item& item : items_) {
        bool on = false;
        switch (item.need) {
            case Need::None: on = true; break;
            case Need::Idle: on = !running; break;
            case Need::Busy: on = running; break;
            case Need::Estimate: on = estimated; break;
            case Need::Slot: on = !running && !recent_.slot(item.index).empty(); break;
            case Need::Curvana: on = true; break;
            case Need::Dialog: {
                const auto d = static_cast<CommandDialog>(item.index);
                const bool plot = d >= CommandDialog::PlotIcc && d <= CommandDialog::PlotMcc;
                on = !running && dialogs_[static_cast<std::size_t>(item.index)] && (!plot || estimated);
                break;
            }
        }
        item.action->setEnabled(on);
    }
    for (QMenu* menu : {fileMenu_, editMenu_, commandMenu_, analysisMenu_, tablesMenu_})
        menu->menuAction()->setEnabled(!running);
    // A submenu is on while one of its items is.
    for (QMenu* menu : findChildren<QMenu*>()) {
        if (menu->parentWidget() == menuBar()) continue;
        bool any = false;
        for (QAction* a : menu->actions()) any = any || (a->isEnabled() && !a->isSeparator());
        menu->menuAction()->setEnabled(any);
    }
}

void MainWindow::updateTitle() { setWindowTitle("Ordena - " + documentTitle_); }

void MainWindow::updateRecentItems() {
    for (int k = 0; k < RecentFiles::kSlots; ++k) {
        QAction* a = action("recent." + QString::number(k + 1));
        const std::string& path = recent_.slot(k);
        a->setText(path.empty() ? QString("Recent File") : "&" + QString::number(k + 1) + " " + fromPath(path));
    }
    updateActions();
}

void MainWindow::addRecent(const QString& path) {
    recent_.add(toPath(path));
    updateRecentItems();
}

// ---------------------------------------------------------------- runs

QPlainTextEdit* MainWindow::inputPane() const { return input_; }

bool MainWindow::start(std::function<int(Session&)> job, std::function<void(int)> done) {
    if (busy()) return false;
    stopped_ = false;
    shell_.clearStopRequest();
    shell_.discardGraphs();
    done_ = std::move(done);
    runner_->start(std::move(job));
    updateActions();
    return true;
}

void MainWindow::finished(int result, bool fatal) {
    shell_.flush();
    if (fatal) {
        // The message has been shown; the program ends as the batch front end does.
        shutDown();
        closing_ = true;
        QCoreApplication::exit(result);
        return;
    }
    if (stopped_) {
        // The run's own status texts came after the answer; this one stays.
        stopped_ = false;
        shellAppend("Estimation Stopped\r\n");
        shellStatus("Estimation Stopped", 0);
    }
    if (result != 1 && scriptRun_.placing) markFailedStatement();
    scriptRun_.placing = false;
    auto done = std::move(done_);
    done_ = nullptr;
    updateActions();
    emit runFinished(result);
    if (done) done(result);
    if (session().exitRequested && !close()) session().exitRequested = false;
}

void MainWindow::runAll() {
    if (busy()) return;
    QTextCursor end = input_->textCursor();
    end.movePosition(QTextCursor::End);
    input_->setTextCursor(end);
    startScript(input_->toPlainText(), 0, true);
}

void MainWindow::runSelection() {
    if (busy()) return;
    // The selection marks its line ends as paragraph separators.
    const QTextCursor c = input_->textCursor();
    QString text = c.selectedText();
    text.replace(QChar::ParagraphSeparator, '\n');
    startScript(text, c.selectionStart(), false);
}

void MainWindow::runStatementAtCursor() {
    if (busy()) return;
    const QString text = input_->toPlainText();
    const QByteArray bytes = text.toUtf8();
    const std::vector<ScriptPlace> places = statementPlaces(MString(bytes.toStdString()));
    const int caret = input_->textCursor().position();
    const int k = placeAt(places, bytes, static_cast<std::size_t>(text.left(caret).toUtf8().size()));
    if (k < 0) return;
    const ScriptPlace& place = places[static_cast<std::size_t>(k)];
    auto position = [&](std::size_t byte) {
        return static_cast<int>(QString::fromUtf8(bytes.constData(), static_cast<qsizetype>(byte)).size());
    };
    const int begin = position(place.begin);
    const int end = position(place.end);
    // The caret goes on to the next statement, so that the next Ctrl+Enter runs it.
    QTextCursor next = input_->textCursor();
    next.setPosition(static_cast<std::size_t>(k) + 1 < places.size() ? position(places[static_cast<std::size_t>(k) + 1].begin)
                                                                     : end);
    input_->setTextCursor(next);
    startScript(text.mid(begin, end - begin), begin, false);
}

void MainWindow::startScript(const QString& text, int at, bool reset) {
    input_->clearFailure();
    if (busy()) return;
    scriptRun_ = {true, text, at, {}};
    start([this, script = toMString(text), reset](Session& s) {
        ScriptPlace failed;
        const int result = reset ? ordena::runAll(s, script, &failed) : runScript(s, script, &failed);
        scriptRun_.failed = failed;
        return result;
    });
}

void MainWindow::markFailedStatement() {
    const ScriptPlace& place = scriptRun_.failed;
    const QByteArray bytes = scriptRun_.text.toUtf8();
    if (!place.known() || place.end > static_cast<std::size_t>(bytes.size())) return;
    // The pane must still hold what ran, where it ran.
    if (input_->toPlainText().mid(scriptRun_.at, scriptRun_.text.size()) != scriptRun_.text) return;
    auto position = [&](std::size_t byte) {
        return scriptRun_.at +
               static_cast<int>(QString::fromUtf8(bytes.constData(), static_cast<qsizetype>(byte)).size());
    };
    input_->markFailure(position(place.begin), position(place.end));
}

int MainWindow::statementAtCursor(bool& loop) const {
    loop = false;
    const QString text = input_->toPlainText();
    const QByteArray bytes = text.toUtf8();
    const std::string script = bytes.toStdString();
    const std::vector<ScriptPlace> places = statementPlaces(MString(script));
    const int k = placeAt(places, bytes,
                          static_cast<std::size_t>(text.left(input_->textCursor().position()).toUtf8().size()));
    if (k < 0) return -1;
    const ScriptPlace& place = places[static_cast<std::size_t>(k)];
    // The command word, as the executor takes it: comments are gone by then.
    std::string statement = script.substr(place.begin, place.end - place.begin);
    for (std::size_t open = statement.find("/*"); open != std::string::npos; open = statement.find("/*")) {
        const std::size_t close = statement.find("*/", open + 1);
        statement.erase(open, close == std::string::npos ? std::string::npos : close + 2 - open);
    }
    MString word;
    int first = -1, last = -1;
    if (firstToken(MString(statement), 0, " \t\r\n!><;", word, first, last) == -1) return -1;
    if (word.lower() == "dofor" || word.lower() == "enddo") {
        loop = true;
        return -1;
    }
    return findKeyword(word, kCommandWords, kCommandCount);
}

void MainWindow::placeWindow(QWidget* window, const char* key, int offset) {
    window->setAttribute(Qt::WA_DeleteOnClose);
    const QByteArray geometry = placementValue(readIniSection(RecentFiles::settingsFile(), kPlacementSection), key);
    if (geometry.isEmpty() || !window->restoreGeometry(geometry))
        window->move(this->geometry().left() + offset, this->geometry().top() + offset);
    fitToScreen(window);
    // Its place is kept when it closes, not only at exit.
    window->installEventFilter(this);
}

HelpWindow* MainWindow::showGuide() {
    if (!help_) {
        help_ = new HelpWindow(this);
        placeWindow(help_, "Help", 60);
    }
    return help_;
}

void MainWindow::helpOnStatement() {
    bool loop = false;
    const int command = statementAtCursor(loop);
    HelpWindow* help = showGuide();
    if (loop)
        help->showLoops();
    else if (command >= 0)
        help->showStatement(command);
    else
        help->showPage("statements.md");
}

bool MainWindow::runStatement(const QString& statement, std::function<void(int)> done) {
    if (busy()) return false;
    scriptRun_.placing = false;
    return start([text = toMString(statement)](Session& s) { return executeStatement(s, text); }, std::move(done));
}

void MainWindow::stop() { shell_.requestStop(); }

void MainWindow::runMenuStatement(MenuStatement id) {
    if (busy()) return;
    const MenuStatementItem& item = menuStatement(id);
    QString path;
    QString caption = QString(item.label).remove("...");
    if (item.dialog == MenuDialog::Save) {
        path = prompter_.saveFileName(this, caption, item.filter, item.defaultExtension);
    } else if (item.dialog == MenuDialog::Open) {
        path = prompter_.openFileName(this, caption, item.filter, item.defaultExtension);
    }
    if (item.dialog != MenuDialog::None && path.isEmpty()) return;
    std::function<void(int)> done;
    if (id == MenuStatement::SaveSystemFile || id == MenuStatement::GetSystemFile) {
        done = [this, path](int result) {
            if (result != 1) return;
            addRecent(path);
            updateTitle();
        };
    }
    runStatement(toQString(composeMenuStatement(item, toMString(path))), std::move(done));
}

void MainWindow::pasteStatement(const QString& statement) {
    QTextCursor end = input_->textCursor();
    end.movePosition(QTextCursor::End);
    end.insertText(statement + ";\n");
    input_->setTextCursor(end);
}

// ---------------------------------------------------------------- shell services

BoxAnswer MainWindow::shellBox(const QString& title, const QString& text, BoxIcon icon, BoxButtons buttons) {
    // Questions hide the progress window while they are asked.
    const bool hidden = buttons != BoxButtons::Ok && progress_ && progress_->isVisible();
    if (hidden) progress_->hide();
    const BoxAnswer answer = prompter_.box(this, title, text, icon, buttons);
    if (text == kInterruptQuestion && answer == BoxAnswer::Yes) stopped_ = true;
    if (progress_) {
        if (text == kInterruptQuestion && answer == BoxAnswer::Yes) {
            shellProgressClose();
        } else if (hidden) {
            progress_->show();
        }
    }
    repaint();
    return answer;
}

void MainWindow::shellAppend(const QString& text) {
    if (!output_->appendText(text)) {
        QApplication::beep();
        editBox("Maximum file size reached.");
    }
}

void MainWindow::shellClear() { output_->clearText(); }

void MainWindow::shellOutputLimit(int characters) {
    // The setting's default was the size of an edit control; the pane's own
    // default is far larger. A size set by the user is kept.
    output_->setLimit(characters == Settings{}.buffersize ? kOutputPaneCap : characters);
}

void MainWindow::shellStatus(const QString& text, int pane) {
    if (pane < 0 || pane >= 4) return;
    QString line = text;
    line.remove('\r').replace('\n', ' ');
    status_[static_cast<std::size_t>(pane)]->setText(line);
    emit statusShown(pane, line);
}

void MainWindow::shellProgressOpen(bool jointMaximumLikelihood) {
    shellProgressClose();
    if (!displayProgress_->isChecked()) return;
    progress_ = new ProgressWindow(jointMaximumLikelihood, this);
    connect(progress_, &ProgressWindow::stopRequested, this, &MainWindow::stop);
    progress_->move(geometry().right() - progress_->sizeHint().width() - 20, geometry().top() + 60);
    progress_->show();
}

void MainWindow::shellProgressIteration(int iteration) {
    if (progress_) progress_->showIteration(iteration);
}

void MainWindow::shellProgressChanges(const ProgressChanges& changes) {
    if (progress_) progress_->showChanges(changes);
}

void MainWindow::shellProgressClose() {
    if (!progress_) return;
    progress_->hide();
    progress_->deleteLater();
    progress_ = nullptr;
}

CurvanaWindow* MainWindow::launchCurvana() {
    if (!curvana_) {
        curvana_ = new CurvanaWindow(prompter_, this);
        placeWindow(curvana_, "Curvana", 40);
    }
    const bool first = !curvana_->isVisible();
    curvana_->show();
    // Shown, its frame is known: the whole of it must be on the screen.
    if (first) fitToScreen(curvana_);
    curvana_->raise();
    curvana_->activateWindow();
    return curvana_;
}

void MainWindow::shellGraphs(std::vector<CGraph> graphs) { launchCurvana()->addGraphs(std::move(graphs)); }

// ---------------------------------------------------------------- documents

void MainWindow::editBox(const QString& text, BoxIcon icon) {
    prompter_.box(this, "Edit", text, icon, BoxButtons::Ok);
}

QPlainTextEdit* MainWindow::activePane() const {
    return outputActive_ ? static_cast<QPlainTextEdit*>(output_) : input_;
}

bool MainWindow::saveQuestion() {
    if (!input_->document()->isModified()) return true;
    switch (prompter_.box(this, "Edit", "Document has been modified.\nSave Changes?", BoxIcon::Warning,
                          BoxButtons::YesNoCancel)) {
        case BoxAnswer::Yes:
            saveDocument();
            // A save that failed or was cancelled stops the command.
            return !input_->document()->isModified();
        case BoxAnswer::No:
            return true;
        default:
            return false;
    }
}

void MainWindow::emptyDocument() {
    input_->clear();
    input_->document()->setModified(false);
    documentName_.clear();
    documentTitle_ = "(Untitled)";
    documentCrLf_ = false;
    updateTitle();
}

void MainWindow::newDocument() {
    if (busy() || !saveQuestion()) return;
    emptyDocument();
}

void MainWindow::openDocument() {
    if (busy() || !saveQuestion()) return;
    const QString path = prompter_.openFileName(this, "Open", kOpenFilter, "zrc");
    if (!path.isEmpty()) openFile(path);
}

void MainWindow::openFile(const QString& path) {
    QFile file(path);
    if (!QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly)) {
        editBox("Cannot open " + path);
        return;
    }
    const QByteArray bytes = file.read(kInputFileLimit);
    if (bytes.size() >= kInputFileLimit) {
        editBox("File too big.");
        emptyDocument();
        return;
    }
    if (file.error() != QFileDevice::NoError) {
        editBox("Error reading file.");
        return;
    }
    documentCrLf_ = bytes.contains("\r\n");
    input_->setPlainText(QString::fromUtf8(bytes));
    input_->document()->setModified(false);
    const QFileInfo info(path);
    documentName_ = info.absoluteFilePath();
    documentTitle_ = info.fileName();
    addRecent(documentName_);
    // Scripts name their data files relative to the folder they live in.
    QDir::setCurrent(info.absolutePath());
    updateTitle();
}

void MainWindow::openRecent(int slot) {
    if (busy() || slot < 0 || slot >= RecentFiles::kSlots) return;
    const QString path = fromPath(recent_.slot(slot));
    if (path.isEmpty() || !saveQuestion()) return;
    if (path.toLower().endsWith(".zrs")) {
        runStatement("get << " + path, [this, path](int result) {
            if (result != 1) return;
            addRecent(path);
            updateTitle();
        });
    } else {
        openFile(path);
    }
}

bool MainWindow::saveDocument() {
    if (documentName_.isEmpty()) return saveDocumentAs();
    return writeInput(documentName_);
}

bool MainWindow::saveDocumentAs() {
    const QString path = prompter_.saveFileName(this, "Save As", kSaveFilter, "zrc");
    if (path.isEmpty() || !writeInput(path)) return false;
    const QFileInfo info(path);
    documentName_ = info.absoluteFilePath();
    documentTitle_ = info.fileName();
    addRecent(documentName_);
    updateTitle();
    return true;
}

bool MainWindow::writeInput(const QString& path) {
    QString text = input_->toPlainText();
    if (documentCrLf_) text.replace('\n', "\r\n");
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        editBox("Cannot open " + path);
        return false;
    }
    const QByteArray bytes = text.toUtf8();
    if (file.write(bytes) != bytes.size() || !file.commit()) {
        editBox("Error saving file.");
        return false;
    }
    input_->document()->setModified(false);
    return true;
}

void MainWindow::saveOutput() {
    if (outputName_.isEmpty()) {
        saveOutputAs();
        return;
    }
    writeOutput(outputName_);
}

void MainWindow::saveOutputAs() {
    const QString path = prompter_.saveFileName(this, "Save Output As", kOutputFilter, "txt");
    if (!path.isEmpty() && writeOutput(path)) outputName_ = QFileInfo(path).absoluteFilePath();
}

bool MainWindow::writeOutput(const QString& path) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        editBox("Cannot open " + path);
        return false;
    }
    const QByteArray bytes = output_->toPlainText().toUtf8();
    if (file.write(bytes) != bytes.size() || !file.commit()) {
        editBox("Error saving file.");
        return false;
    }
    return true;
}

void MainWindow::printPane() {
    QPlainTextEdit* pane = activePane();
    QPrinter printer(QPrinter::HighResolution);
    if (!prompter_.setUpPrinter(this, printer)) return;
    switch (printText(pane->toPlainText(), pane->font(), printer, this)) {
        case PrintResult::StartFailed: editBox("Error starting print job."); break;
        case PrintResult::PageFailed: editBox("Error printing file."); break;
        default: break;
    }
}

void MainWindow::chooseFont() {
    QPlainTextEdit* pane = activePane();
    QFont font = pane->font();
    if (prompter_.chooseFont(this, font)) pane->setFont(font);
}

void MainWindow::about() {
    prompter_.box(this, "About Ordena",
                  QString("Ordena version %1\n\nGeneralised item response modelling: the multidimensional random "
                          "coefficients multinomial logit model.")
                      .arg(ORDENA_VERSION),
                  BoxIcon::Information, BoxButtons::Ok);
}

// ---------------------------------------------------------------- exit

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Hide) {
        if (watched == curvana_) curvanaGeometry_ = curvana_->saveGeometry();
        if (watched == help_) helpGeometry_ = help_->saveGeometry();
    }
    return QMainWindow::eventFilter(watched, event);
}

void MainWindow::restorePlacement() {
    const IniEntries entries = readIniSection(RecentFiles::settingsFile(), kPlacementSection);
    const QByteArray main = placementValue(entries, "Main");
    if (!main.isEmpty()) restoreGeometry(main);
    const QByteArray panes = placementValue(entries, "Panes");
    if (!panes.isEmpty()) splitter_->restoreState(panes);
    fitToScreen(this);
}

void MainWindow::savePlacement() {
    IniEntries entries = readIniSection(RecentFiles::settingsFile(), kPlacementSection);
    auto put = [&](const std::string& key, const QByteArray& value) {
        const std::string text = value.toBase64().toStdString();
        for (auto& [k, v] : entries)
            if (k == key) {
                v = text;
                return;
            }
        entries.emplace_back(key, text);
    };
    put("Main", saveGeometry());
    put("Panes", splitter_->saveState());
    if (curvana_) curvanaGeometry_ = curvana_->saveGeometry();
    if (help_) helpGeometry_ = help_->saveGeometry();
    if (!curvanaGeometry_.isEmpty()) put("Curvana", curvanaGeometry_);
    if (!helpGeometry_.isEmpty()) put("Help", helpGeometry_);
    writeIniSection(RecentFiles::settingsFile(), kPlacementSection, entries);
}

void MainWindow::shutDown() {
    recent_.save(RecentFiles::settingsFile());
    savePlacement();
    shellProgressClose();
    session().shutdown();
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (closing_) {
        event->accept();
        return;
    }
    if (busy()) {
        // The run must end first: this asks whether to interrupt it.
        event->ignore();
        stop();
        return;
    }
    // The script's question first, then those of changed plots; Cancel at
    // any of them leaves every window open.
    if (!saveQuestion()) {
        event->ignore();
        return;
    }
    if (curvana_ && !curvana_->closeAll()) {
        event->ignore();
        return;
    }
    shutDown();
    closing_ = true;
    event->accept();
}

}  // namespace ordena::gui
