// Runs every GUI test class under the offscreen platform, so that the tests
// need no display.
#include <QApplication>
#include <QTest>

#include "gui_test.h"

namespace ordena::gui::test {

namespace {

QtMessageHandler testHandler = nullptr;

void quietHandler(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (message.contains("does not support propagateSizeHints") || message.contains("does not support raise()"))
        return;
    testHandler(type, context, message);
}

}  // namespace

void quietOffscreen() {
    QtMessageHandler previous = qInstallMessageHandler(quietHandler);
    if (previous != quietHandler) testHandler = previous;
}

std::vector<std::function<QObject*()>>& testClasses() {
    static std::vector<std::function<QObject*()>> classes;
    return classes;
}

}  // namespace ordena::gui::test

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    // Closing a test's window must not end the test program.
    QApplication::setQuitOnLastWindowClosed(false);
    // "test_gui DocumentTest [options and functions]" runs one class.
    QString only;
    std::vector<char*> args(argv, argv + argc);
    if (argc > 1 && argv[1][0] != '-') {
        only = argv[1];
        args.erase(args.begin() + 1);
    }
    int failed = 0;
    for (auto& make : ordena::gui::test::testClasses()) {
        std::unique_ptr<QObject> tests(make());
        if (!only.isEmpty() && !QString(tests->metaObject()->className()).endsWith("::" + only)) continue;
        failed += QTest::qExec(tests.get(), static_cast<int>(args.size()), args.data()) != 0 ? 1 : 0;
    }
    return failed == 0 ? 0 : 1;
}
