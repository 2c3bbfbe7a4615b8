// ordena-gui: the desktop workbench.
#include <QApplication>

#include "app/gui/command_dialogs.h"
#include "app/gui/main_window.h"
#include "app/gui/prompter.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName("Ordena");
    QApplication::setApplicationVersion(ORDENA_VERSION);
    ordena::gui::WidgetPrompter prompter;
    ordena::gui::MainWindow window(prompter);
    ordena::gui::registerCommandDialogs(window, prompter);
    window.show();
    return QApplication::exec();
}
