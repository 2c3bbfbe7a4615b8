// The command dialogs of the Command, Analysis, Tables and Plot menus. Each
// reads the workspace when it opens, collects the user's choices and hands
// the statement composed by src/app/compose/ to its host, to run or paste.
#pragma once

#include "app/gui/dialog_host.h"

namespace ordena::gui {

class MainWindow;
class Prompter;

// Opens the dialog over the host; the prompter runs it (modal).
void openCommandDialog(CommandDialog dialog, DialogHost& host, Prompter& prompter);

// Registers every command dialog with the window's menu items.
void registerCommandDialogs(MainWindow& window, Prompter& prompter);

}  // namespace ordena::gui
