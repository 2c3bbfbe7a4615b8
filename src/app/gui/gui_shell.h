// The shell services of the workbench. The session runs on a worker thread
// and calls them there; each hands its work to the window thread, which
// owns every widget. Output, status texts and the progress window's news
// are queued in the order they were made and shown together; boxes and
// questions block the worker until the user has answered. The stop request
// is a flag that the window thread sets and the worker's polls read. The
// graphs of a plot statement are built on the worker and handed over whole.
#pragma once

#include <QObject>
#include <QString>
#include <atomic>
#include <functional>
#include <mutex>
#include <vector>

#include "app/gui/prompter.h"
#include "base/shell.h"

namespace ordena::gui {

// What the window thread does for the shell.
class ShellView {
public:
    virtual ~ShellView() = default;
    // A box or question, with the rules of the main window around it.
    virtual BoxAnswer shellBox(const QString& title, const QString& text, BoxIcon icon, BoxButtons buttons) = 0;
    virtual void shellAppend(const QString& text) = 0;
    virtual void shellClear() = 0;
    virtual void shellOutputLimit(int characters) = 0;
    virtual void shellStatus(const QString& text, int pane) = 0;
    virtual void shellProgressOpen(bool jointMaximumLikelihood) = 0;
    virtual void shellProgressIteration(int iteration) = 0;
    virtual void shellProgressChanges(const ProgressChanges& changes) = 0;
    virtual void shellProgressClose() = 0;
    // The graphs of a plot statement, complete, for the plot windows.
    virtual void shellGraphs(std::vector<CGraph> graphs) = 0;
};

QString toQString(const MString& text);
MString toMString(const QString& text);

class GuiShell final : public QObject, public Shell {
    Q_OBJECT
public:
    // Lives on the window thread, which is the thread that creates it.
    explicit GuiShell(ShellView& view, QObject* parent = nullptr);

    void errorReport(const MString& text) override;
    void warningReport(const MString& text) override;
    void informationBox(const MString& text) override;
    bool confirmQuestion(const MString& text) override;
    bool yesNoQuestion(const MString& text) override;
    void appendOutput(const MString& text) override;
    void clearOutput() override;
    void statusText(const MString& text, int pane) override;
    bool takeStopRequest() override;
    void setOutputLimit(int characters) override;
    void progressOpen(bool jointMaximumLikelihood) override;
    void progressIteration(int iteration) override;
    void progressChanges(const ProgressChanges& changes) override;
    void progressClose() override;
    // Hands the graphs the plot statement built (through the base class's
    // operations, on the worker) to the window thread.
    int finishGraphs(Shell& reports) override;

    // Window thread, between runs: drops graphs a failed statement left.
    void discardGraphs() { graphs_.clear(); }

    // Window thread: the Stop command, and the start of a run.
    void requestStop() { stopRequest_.store(true); }
    void clearStopRequest() { stopRequest_.store(false); }
    bool stopRequested() const { return stopRequest_.load(); }

    // Window thread: shows everything queued so far.
    void flush();

private:
    bool onWindowThread() const;
    // Queues work for the window thread (or does it at once there).
    void post(std::function<void()> work);
    // Runs work on the window thread and waits for it.
    BoxAnswer ask(const QString& title, const MString& text, BoxIcon icon, BoxButtons buttons);

    ShellView& view_;
    std::atomic<bool> stopRequest_{false};
    std::mutex mutex_;
    std::vector<std::function<void()>> pending_;
    bool flushPosted_ = false;
};

}  // namespace ordena::gui
