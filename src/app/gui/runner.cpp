#include "app/gui/runner.h"

#include <exception>
#include <new>

namespace ordena::gui {

Runner::Runner(Shell& shell, QObject* parent) : QObject(parent), session_(std::make_unique<Session>(shell)) {}

Runner::~Runner() {
    if (worker_.joinable()) worker_.join();
}

bool Runner::start(Job job) {
    if (busy_) return false;
    if (worker_.joinable()) worker_.join();
    busy_ = true;
    worker_ = std::thread([this, job = std::move(job)] {
        int result = -1;
        bool fatal = false;
        Session& session = *session_;
        try {
            ShellScope scope(session);
            try {
                result = job(session);
            } catch (const std::bad_alloc&) {
                session.errorReport("Not enough memory to run the script");
            } catch (const std::exception& e) {
                session.errorReport(MString("The script failed: ") + e.what());
            }
        } catch (const FatalExit& exit) {
            result = exit.code;
            fatal = true;
        }
        QMetaObject::invokeMethod(
            this,
            [this, result, fatal] {
                if (worker_.joinable()) worker_.join();
                busy_ = false;
                emit finished(result, fatal);
            },
            Qt::QueuedConnection);
    });
    return true;
}

}  // namespace ordena::gui
