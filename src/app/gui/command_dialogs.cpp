#include "app/gui/command_dialogs.h"

#include "app/gui/main_window.h"
#include "app/gui/statement_dialog.h"

namespace ordena::gui {

void openCommandDialog(CommandDialog dialog, DialogHost& host, Prompter& prompter) {
    if (!openDataDialog(dialog, host, prompter)) openAnalysisDialog(dialog, host, prompter);
}

void registerCommandDialogs(MainWindow& window, Prompter& prompter) {
    for (int k = 0; k < static_cast<int>(CommandDialog::Count); ++k) {
        const auto dialog = static_cast<CommandDialog>(k);
        window.registerDialog(dialog,
                              [dialog, &prompter](DialogHost& host) { openCommandDialog(dialog, host, prompter); });
    }
}

}  // namespace ordena::gui
