#include "app/gui/gui_shell.h"

#include <QThread>

namespace ordena::gui {

QString toQString(const MString& text) {
    const std::string& s = text.str();
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

MString toMString(const QString& text) { return MString(text.toUtf8().toStdString()); }

GuiShell::GuiShell(ShellView& view, QObject* parent) : QObject(parent), view_(view) {}

bool GuiShell::onWindowThread() const { return QThread::currentThread() == thread(); }

void GuiShell::post(std::function<void()> work) {
    if (onWindowThread()) {
        flush();
        work();
        return;
    }
    std::lock_guard<std::mutex> lock(mutex_);
    pending_.push_back(std::move(work));
    if (!flushPosted_) {
        flushPosted_ = true;
        QMetaObject::invokeMethod(this, [this] { flush(); }, Qt::QueuedConnection);
    }
}

void GuiShell::flush() {
    std::vector<std::function<void()>> work;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        work.swap(pending_);
        flushPosted_ = false;
    }
    for (auto& w : work) w();
}

BoxAnswer GuiShell::ask(const QString& title, const MString& text, BoxIcon icon, BoxButtons buttons) {
    const QString message = toQString(text);
    BoxAnswer answer = BoxAnswer::Cancel;
    auto show = [&] {
        // What was written before the box stays visible behind it.
        flush();
        answer = view_.shellBox(title, message, icon, buttons);
    };
    if (onWindowThread()) {
        show();
    } else {
        QMetaObject::invokeMethod(this, show, Qt::BlockingQueuedConnection);
    }
    return answer;
}

void GuiShell::errorReport(const MString& text) {
    // The message also stays in the output pane, after the statement's echo,
    // as the batch program's standard error has it.
    QString line = "Error: " + toQString(text);
    line.replace("\r\n", "\n").replace('\r', '\n').replace('\n', "\r\n");
    post([this, line = line + "\r\n"] { view_.shellAppend(line); });
    ask("Error", text, BoxIcon::Stop, BoxButtons::Ok);
}

void GuiShell::warningReport(const MString& text) { ask("Warning", text, BoxIcon::Information, BoxButtons::Ok); }

void GuiShell::informationBox(const MString& text) { ask("General", text, BoxIcon::Information, BoxButtons::Ok); }

bool GuiShell::confirmQuestion(const MString& text) {
    return ask("Warning", text, BoxIcon::Question, BoxButtons::OkCancel) == BoxAnswer::Ok;
}

bool GuiShell::yesNoQuestion(const MString& text) {
    return ask("Warning", text, BoxIcon::Question, BoxButtons::YesNo) == BoxAnswer::Yes;
}

void GuiShell::appendOutput(const MString& text) {
    post([this, t = toQString(text)] { view_.shellAppend(t); });
}

void GuiShell::clearOutput() {
    post([this] { view_.shellClear(); });
}

void GuiShell::statusText(const MString& text, int pane) {
    post([this, t = toQString(text), pane] { view_.shellStatus(t, pane); });
}

bool GuiShell::takeStopRequest() {
    // Read first: polls come once per case, and a plain load is cheap.
    if (!stopRequest_.load(std::memory_order_relaxed)) return false;
    return stopRequest_.exchange(false);
}

void GuiShell::setOutputLimit(int characters) {
    post([this, characters] { view_.shellOutputLimit(characters); });
}

void GuiShell::progressOpen(bool jointMaximumLikelihood) {
    post([this, jointMaximumLikelihood] { view_.shellProgressOpen(jointMaximumLikelihood); });
}

void GuiShell::progressIteration(int iteration) {
    post([this, iteration] { view_.shellProgressIteration(iteration); });
}

void GuiShell::progressChanges(const ProgressChanges& changes) {
    post([this, changes] { view_.shellProgressChanges(changes); });
}

void GuiShell::progressClose() {
    post([this] { view_.shellProgressClose(); });
}

int GuiShell::finishGraphs(Shell&) {
    std::vector<CGraph> graphs = std::move(graphs_);
    graphs_.clear();
    if (!graphs.empty()) post([this, graphs = std::move(graphs)]() mutable { view_.shellGraphs(std::move(graphs)); });
    return 1;
}

}  // namespace ordena::gui
