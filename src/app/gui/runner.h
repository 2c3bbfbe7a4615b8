// Runs the session's work on a worker thread, one run at a time. The
// session lives as long as the runner; the window thread may read and
// change it only while no run is going on.
#pragma once

#include <QObject>
#include <functional>
#include <memory>
#include <thread>

#include "command/session.h"

namespace ordena::gui {

class Runner : public QObject {
    Q_OBJECT
public:
    using Job = std::function<int(Session&)>;

    // shell: the front end's services; created and used on the window thread.
    explicit Runner(Shell& shell, QObject* parent = nullptr);
    // Waits for a run that is still going on.
    ~Runner() override;

    Session& session() { return *session_; }
    bool busy() const { return busy_; }

    // Starts the job on the worker thread; false (and nothing starts) while
    // another run is going on.
    bool start(Job job);

signals:
    // On the window thread after the job: its result (1 or -1), or, when
    // fatal, the exit code of a condition that ends the program.
    void finished(int result, bool fatal);

private:
    std::unique_ptr<Session> session_;
    std::thread worker_;
    bool busy_ = false;
};

}  // namespace ordena::gui
