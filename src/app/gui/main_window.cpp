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
#include <QSaveFile>
#include <QSplitter>
#include <QStatusBar>
#include <QTextCursor>
#include <QVBoxLayout>

#include "app/gui/output_pane.h"
#include "app/gui/pane_font.h"
#include "app/gui/progress_window.h"
#include "app/gui/runner.h"
#include "app/gui/text_printer.h"
#include "command/reader.h"

namespace ordena::gui {

namespace {

constexpr const char* kStartTitle = "Ordena: Generalised Item Response Modelling Software";
constexpr const char* kOpenFilter = "Command Files (*.zrc)|*.zrc|All Files (*.*)|*.*||";
constexpr const char* kSaveFilter = "Ordena Control Files (*.zrc)|*.zrc|Text Files (*.txt)|*.txt|All Files (*.*)|*.*||";
constexpr const char* kOutputFilter = "Text Files (*.txt)|*.txt|All Files (*.*)|*.*||";
// A command file must be smaller than this.
constexpr qint64 kInputFileLimit = 32767;

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

}  // namespace

MainWindow::MainWindow(Prompter& prompter, QWidget* parent)
    : QMainWindow(parent), prompter_(prompter), shell_(*this) {
    setWindowTitle(kStartTitle);
    move(10, 10);
    resize(600, 490);

    input_ = new QPlainTextEdit(this);
    input_->setObjectName("inputPane");
    input_->setLineWrapMode(QPlainTextEdit::NoWrap);
    input_->setFont(paneFont());
    output_ = new OutputPane(this);
    output_->setObjectName("outputPane");
    inputTitle_ = new QLabel("Input Window", this);
    outputTitle_ = new QLabel("Output Window", this);
    auto* splitter = new QSplitter(Qt::Vertical, this);
    splitter->addWidget(titled(inputTitle_, input_, splitter));
    splitter->addWidget(titled(outputTitle_, output_, splitter));
    splitter->setSizes({240, 200});
    // A larger window gives the room to the reports.
    splitter->setStretchFactor(0, 0);
    splitter->setStretchFactor(1, 1);
    setCentralWidget(splitter);
    connect(qApp, &QApplication::focusChanged, this, [this](QWidget*, QWidget* now) {
        if (now != input_ && now != output_) return;
        outputActive_ = now == output_;
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
    addItem(help, "help.about", "&About this program", Need::None, [this] { about(); }, QKeySequence(Qt::Key_F1));
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

bool MainWindow::start(std::function<int(Session&)> job, std::function<void(int)> done) {
    if (busy()) return false;
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
    start([script = toMString(input_->toPlainText())](Session& s) { return ordena::runAll(s, script); });
}

void MainWindow::runSelection() {
    if (busy()) return;
    // The selection marks its line ends as paragraph separators.
    QString text = input_->textCursor().selectedText();
    text.replace(QChar::ParagraphSeparator, '\n');
    start([script = toMString(text)](Session& s) { return runScript(s, script); });
}

bool MainWindow::runStatement(const QString& statement, std::function<void(int)> done) {
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

void MainWindow::shellOutputLimit(int characters) { output_->setLimit(characters); }

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
        curvana_->setAttribute(Qt::WA_DeleteOnClose);
        curvana_->move(geometry().left() + 40, geometry().top() + 40);
    }
    curvana_->show();
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

void MainWindow::shutDown() {
    recent_.save(RecentFiles::settingsFile());
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
    // Plot windows with unsaved changes ask first.
    if (curvana_ && !curvana_->close()) {
        event->ignore();
        return;
    }
    if (!saveQuestion()) {
        event->ignore();
        return;
    }
    shutDown();
    closing_ = true;
    event->accept();
}

}  // namespace ordena::gui
