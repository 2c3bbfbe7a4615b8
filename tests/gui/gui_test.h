// Shared by the GUI tests: a workbench in a scratch directory with its own
// configuration directory and a scripted prompter.
#pragma once

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTest>
#include <functional>
#include <memory>
#include <vector>

#include "app/gui/main_window.h"
#include "app/gui/output_pane.h"
#include "scripted_prompter.h"

namespace ordena::gui::test {

std::vector<std::function<QObject*()>>& testClasses();

// The offscreen platform says at every window that it cannot do what only a
// screen can; that is no news to the tests. Called in initTestCase, after
// the test library installed its own message handler.
void quietOffscreen();

// Registers a test class with the test program.
template <class T>
struct Register {
    Register() { testClasses().push_back([] { return new T; }); }
};

// Where the scratch directory lives: the configuration directory, the
// working directory and the files a test writes.
class Scratch {
public:
    Scratch() : previous_(QDir::currentPath()) {
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(dir_.path() + "/config"));
        QDir::setCurrent(dir_.path());
    }
    ~Scratch() { QDir::setCurrent(previous_); }
    Scratch(const Scratch&) = delete;
    Scratch& operator=(const Scratch&) = delete;

    QString path(const QString& name) const { return dir_.path() + "/" + name; }
    void write(const QString& name, const QByteArray& content) const {
        QFile f(path(name));
        QVERIFY2(f.open(QIODevice::WriteOnly), qPrintable(name));
        f.write(content);
    }
    QByteArray read(const QString& name) const {
        QFile f(name.startsWith('/') ? name : path(name));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    // Copies a file of the examples directory here.
    void copyExample(const QString& name) const {
        QFile::copy(QString(ORDENA_SOURCE_DIR) + "/examples/" + name, path(name));
    }
    QString iniFile() const { return dir_.path() + "/config/ordena/ordena.ini"; }

private:
    QTemporaryDir dir_;
    QString previous_;
};

// A workbench window over a scripted prompter.
class Bench {
public:
    Bench() : window(std::make_unique<MainWindow>(prompter)) { window->show(); }
    ~Bench() {
        waitIdle();
        window.reset();
    }

    bool waitIdle(int milliseconds = 300000) {
        QElapsedTimer clock;
        clock.start();
        while (window->busy() && clock.elapsed() < milliseconds) QTest::qWait(5);
        QCoreApplication::processEvents();
        return !window->busy();
    }
    // Types the script into the input pane and runs it all.
    bool runAll(const QString& script) {
        window->inputPane()->setPlainText(script);
        window->runAll();
        return waitIdle();
    }
    QString output() const { return window->outputPane()->rawText(); }
    bool enabled(const QString& name) const {
        QAction* a = window->action(name);
        return a != nullptr && a->isEnabled();
    }

    ScriptedPrompter prompter;
    std::unique_ptr<MainWindow> window;
};

// The example analysis, with the data file in the working directory.
inline QString exampleScript() {
    QFile f(QString(ORDENA_SOURCE_DIR) + "/examples/demo.zrc");
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

}  // namespace ordena::gui::test
