#include "app/gui/prompter.h"

#include "app/gui/mnemonics.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QFontDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>
#include <QStringList>

#include "app/compose/menu_statements.h"

namespace ordena::gui {

BoxAnswer WidgetPrompter::box(QWidget* parent, const QString& title, const QString& text, BoxIcon icon,
                              BoxButtons buttons) {
    QMessageBox::Icon qicon = QMessageBox::Information;
    switch (icon) {
        case BoxIcon::Stop: qicon = QMessageBox::Critical; break;
        case BoxIcon::Information: qicon = QMessageBox::Information; break;
        case BoxIcon::Question: qicon = QMessageBox::Question; break;
        case BoxIcon::Warning: qicon = QMessageBox::Warning; break;
    }
    QMessageBox::StandardButtons qbuttons = QMessageBox::Ok;
    switch (buttons) {
        case BoxButtons::Ok: qbuttons = QMessageBox::Ok; break;
        case BoxButtons::OkCancel: qbuttons = QMessageBox::Ok | QMessageBox::Cancel; break;
        case BoxButtons::YesNo: qbuttons = QMessageBox::Yes | QMessageBox::No; break;
        case BoxButtons::YesNoCancel: qbuttons = QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel; break;
    }
    QMessageBox message(qicon, title, text, qbuttons, parent);
    switch (message.exec()) {
        case QMessageBox::Ok: return BoxAnswer::Ok;
        case QMessageBox::Yes: return BoxAnswer::Yes;
        case QMessageBox::No: return BoxAnswer::No;
        default:
            // Closing the box counts as its way out: Cancel, or No without one.
            return buttons == BoxButtons::YesNo ? BoxAnswer::No
                                                : (buttons == BoxButtons::Ok ? BoxAnswer::Ok : BoxAnswer::Cancel);
    }
}

QString qtFileFilter(const char* filter) {
    QStringList entries;
    for (const FileFilter& f : splitFilter(filter)) {
        QStringList patterns = QString::fromStdString(f.patterns.str()).split(';', Qt::SkipEmptyParts);
        for (QString& p : patterns) {
            p = p.trimmed();
            if (p == "*.*") p = "*";
        }
        QString description = QString::fromStdString(f.description.str());
        // The dialog reads the patterns from the brackets of the description.
        int open = description.lastIndexOf('(');
        if (open >= 0) description = description.left(open).trimmed();
        entries << description + " (" + patterns.join(' ') + ")";
    }
    return entries.join(";;");
}

QString withDefaultExtension(const QString& path, const QString& defaultExtension) {
    if (path.isEmpty() || defaultExtension.isEmpty()) return path;
    if (!QFileInfo(path).suffix().isEmpty()) return path;
    return path + "." + defaultExtension.toLower();
}

namespace {

QString fileDialog(QWidget* parent, const QString& caption, const char* filter, const QString& defaultExtension,
                   bool save) {
    QFileDialog dialog(parent, caption, QString(), qtFileFilter(filter));
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    dialog.setDefaultSuffix(defaultExtension.toLower());
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return QString();
    return withDefaultExtension(dialog.selectedFiles().first(), save ? defaultExtension : QString());
}

}  // namespace

QString WidgetPrompter::openFileName(QWidget* parent, const QString& caption, const char* filter,
                                     const QString& defaultExtension) {
    return fileDialog(parent, caption, filter, defaultExtension, false);
}

QString WidgetPrompter::saveFileName(QWidget* parent, const QString& caption, const char* filter,
                                     const QString& defaultExtension) {
    return fileDialog(parent, caption, filter, defaultExtension, true);
}

bool WidgetPrompter::chooseFont(QWidget* parent, QFont& font) {
    bool ok = false;
    QFont chosen = QFontDialog::getFont(&ok, font, parent);
    if (ok) font = chosen;
    return ok;
}

bool WidgetPrompter::setUpPrinter(QWidget* parent, QPrinter& printer) {
    QPrintDialog dialog(&printer, parent);
    return dialog.exec() == QDialog::Accepted;
}

bool WidgetPrompter::askText(QWidget* parent, const QString& title, const QString& prompt, QString& text) {
    bool ok = false;
    QString answer = QInputDialog::getText(parent, title, prompt, QLineEdit::Normal, text, &ok);
    if (ok) text = answer;
    return ok;
}

int WidgetPrompter::runDialog(QDialog& dialog) {
    // The plot component's dialogs too reach every control from the keyboard.
    assignMnemonics(&dialog);
    return dialog.exec();
}

}  // namespace ordena::gui
