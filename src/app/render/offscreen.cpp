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
