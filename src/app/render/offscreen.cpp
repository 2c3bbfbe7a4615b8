#include "app/render/offscreen.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <cstdio>

namespace ordena::render {

namespace {

QGuiApplication* made = nullptr;
int argumentCount = 1;
char programName[] = "ordena";
char* arguments[] = {programName, nullptr};

// Qt's notes about its environment (no runtime directory, say) would break
// the one-line reports of a front end on standard error; only its critical
// messages are passed on.
QtMessageHandler previousHandler = nullptr;

void quietHandler(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (type != QtCriticalMsg && type != QtFatalMsg) return;
    if (previousHandler)
        previousHandler(type, context, message);
    else
        std::fprintf(stderr, "%s\n", message.toLocal8Bit().constData());
}

}  // namespace

bool ensureGuiApplication() {
    if (QCoreApplication::instance() != nullptr) return qobject_cast<QGuiApplication*>(QCoreApplication::instance());
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    previousHandler = qInstallMessageHandler(quietHandler);
    made = new QGuiApplication(argumentCount, arguments);
    return true;
}

void releaseGuiApplication() {
    delete made;
    made = nullptr;
}

}  // namespace ordena::render

#if defined(__SANITIZE_ADDRESS__)
#define ORDENA_LEAK_CHECKS 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define ORDENA_LEAK_CHECKS 1
#endif
#endif
#ifdef ORDENA_LEAK_CHECKS
// Fontconfig, which Qt uses to find fonts, keeps its caches until the
// process ends; the leak checker would count them against every program
// that draws a picture.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }
// The list of suppressions used would end up among a front end's reports.
extern "C" const char* __lsan_default_options() { return "print_suppressions=0"; }
#endif
