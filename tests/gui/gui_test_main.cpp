// Runs every GUI test class under the offscreen platform, so that the tests
// need no display.
#include <QApplication>
#include <QMetaMethod>
#include <QTest>
#include <cstdio>
#include <cstring>

#include "gui_test.h"

namespace ordena::gui::test {

namespace {

QtMessageHandler testHandler = nullptr;

void quietHandler(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (message.contains("does not support propagateSizeHints") || message.contains("does not support raise()"))
        return;
    testHandler(type, context, message);
}

// The class name without its namespace: what the command line names.
QString shortName(const QObject& tests) {
    return QString(tests.metaObject()->className()).section("::", -1);
}

// The test functions as the test library finds them: private slots without
// parameters, less the set-up and clean-up functions and the data tables.
QStringList testFunctions(const QObject& tests) {
    static const QStringList special = {"initTestCase", "initTestCase_data", "cleanupTestCase", "init", "cleanup"};
    QStringList names;
    const QMetaObject* meta = tests.metaObject();
    for (int k = meta->methodOffset(); k < meta->methodCount(); ++k) {
        const QMetaMethod method = meta->method(k);
        const QString name = QString::fromLatin1(method.name());
        if (method.methodType() == QMetaMethod::Slot && method.access() == QMetaMethod::Private &&
            method.parameterCount() == 0 && !special.contains(name) && !name.endsWith("_data"))
            names << name;
    }
    return names;
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
    using namespace ordena::gui::test;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    // Closing a test's window must not end the test program.
    QApplication::setQuitOnLastWindowClosed(false);
    // "test_gui --list" names every test function, "Class function" a line:
    // ctest gives each its own test.
    if (argc == 2 && std::strcmp(argv[1], "--list") == 0) {
        for (auto& make : testClasses()) {
            std::unique_ptr<QObject> tests(make());
            for (const QString& function : testFunctions(*tests))
                std::printf("%s %s\n", qPrintable(shortName(*tests)), qPrintable(function));
        }
        return 0;
    }
    // "test_gui DocumentTest [options and functions]" runs one class.
    QString only;
    std::vector<char*> args(argv, argv + argc);
    if (argc > 1 && argv[1][0] != '-') {
        only = argv[1];
        args.erase(args.begin() + 1);
    }
    int failed = 0, ran = 0;
    for (auto& make : testClasses()) {
        std::unique_ptr<QObject> tests(make());
        if (!only.isEmpty() && shortName(*tests) != only) continue;
        ++ran;
        failed += QTest::qExec(tests.get(), static_cast<int>(args.size()), args.data()) != 0 ? 1 : 0;
    }
    // A class that is gone must not pass for one whose tests passed.
    if (ran == 0) std::fprintf(stderr, "test_gui: no test class %s\n", qPrintable(only));
    return failed == 0 && ran > 0 ? 0 : 1;
}
