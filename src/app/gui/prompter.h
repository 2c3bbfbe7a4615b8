// Every box, question and file, font and print dialog of the workbench goes
// through a Prompter, so that tests can answer them without a person.
#pragma once

#include <QString>

class QDialog;
class QFont;
class QPrinter;
class QWidget;

namespace ordena::gui {

enum class BoxIcon { Stop, Information, Question, Warning };
enum class BoxButtons { Ok, OkCancel, YesNo, YesNoCancel };
enum class BoxAnswer { Ok, Cancel, Yes, No };

class Prompter {
public:
    virtual ~Prompter() = default;

    // A modal message box; the answer is the button pressed.
    virtual BoxAnswer box(QWidget* parent, const QString& title, const QString& text, BoxIcon icon,
                          BoxButtons buttons) = 0;
    // File dialogs. filter lists pairs "description|patterns|" ended by "|"
    // (see splitFilter); defaultExtension is added to a name given without
    // one. The full path, or empty when the user cancelled.
    virtual QString openFileName(QWidget* parent, const QString& caption, const char* filter,
                                 const QString& defaultExtension) = 0;
    virtual QString saveFileName(QWidget* parent, const QString& caption, const char* filter,
                                 const QString& defaultExtension) = 0;
    // The font dialog, starting from font; false when cancelled.
    virtual bool chooseFont(QWidget* parent, QFont& font) = 0;
    // The print dialog; false when cancelled.
    virtual bool setUpPrinter(QWidget* parent, QPrinter& printer) = 0;
    // A one-line text question; false when cancelled.
    virtual bool askText(QWidget* parent, const QString& title, const QString& prompt, QString& text) = 0;
    // Runs one of the program's own modal dialogs: its result (accepted or
    // rejected).
    virtual int runDialog(QDialog& dialog) = 0;
};

// The real dialogs.
class WidgetPrompter final : public Prompter {
public:
    BoxAnswer box(QWidget* parent, const QString& title, const QString& text, BoxIcon icon,
                  BoxButtons buttons) override;
    QString openFileName(QWidget* parent, const QString& caption, const char* filter,
                         const QString& defaultExtension) override;
    QString saveFileName(QWidget* parent, const QString& caption, const char* filter,
                         const QString& defaultExtension) override;
    bool chooseFont(QWidget* parent, QFont& font) override;
    bool setUpPrinter(QWidget* parent, QPrinter& printer) override;
    bool askText(QWidget* parent, const QString& title, const QString& prompt, QString& text) override;
    int runDialog(QDialog& dialog) override;
};

// A filter list in the form of a Qt file dialog: "Text Files (*.txt);;All
// Files (*)". "*.*" becomes "*", which also matches names without a dot.
QString qtFileFilter(const char* filter);

// The name with ".ext" added (the extension in lower case) when its last
// component has no extension.
QString withDefaultExtension(const QString& path, const QString& defaultExtension);

}  // namespace ordena::gui
