// A Prompter that answers from a script instead of a person, and records
// every box and dialog it was shown.
#pragma once

#include <QDialog>
#include <QFont>
#include <QPrinter>
#include <QString>
#include <deque>
#include <functional>
#include <vector>

#include "app/gui/prompter.h"

namespace ordena::gui::test {

struct BoxSeen {
    QString title;
    QString text;
    BoxIcon icon;
    BoxButtons buttons;
};

struct FileDialogSeen {
    bool save;
    QString caption;
    QString filter;
    QString defaultExtension;
};

class ScriptedPrompter final : public Prompter {
public:
    std::vector<BoxSeen> boxes;
    std::vector<FileDialogSeen> fileDialogs;
    // Answers to questions, in order; without one a question gets OK, Yes,
    // or No to the save question's Yes/No/Cancel.
    std::deque<BoxAnswer> answers;
    // When set, decides every box (after it was recorded).
    std::function<BoxAnswer(const BoxSeen&)> onBox;
    // Answers of the file dialogs, in order; empty means Cancel, and so
    // does a dialog without an answer left.
    std::deque<QString> fileAnswers;
    // The print dialog: accepted when set, after preparing the printer.
    std::function<void(QPrinter&)> onPrint;
    bool fontAccepted = false;
    QFont fontAnswer;
    std::deque<QString> textAnswers;  // an absent answer cancels
    std::vector<QString> textQuestions;
    // Plays the user of a dialog: fills it in and presses its buttons. Without
    // one, dialogs are cancelled.
    std::function<void(QDialog&)> onDialog;

    BoxAnswer box(QWidget*, const QString& title, const QString& text, BoxIcon icon, BoxButtons buttons) override {
        boxes.push_back({title, text, icon, buttons});
        if (onBox) return onBox(boxes.back());
        if (buttons == BoxButtons::Ok) return BoxAnswer::Ok;
        if (!answers.empty()) {
            BoxAnswer a = answers.front();
            answers.pop_front();
            return a;
        }
        switch (buttons) {
            case BoxButtons::OkCancel: return BoxAnswer::Ok;
            case BoxButtons::YesNo: return BoxAnswer::Yes;
            default: return BoxAnswer::No;
        }
    }
    QString openFileName(QWidget*, const QString& caption, const char* filter, const QString& ext) override {
        fileDialogs.push_back({false, caption, filter, ext});
        return next();
    }
    QString saveFileName(QWidget*, const QString& caption, const char* filter, const QString& ext) override {
        fileDialogs.push_back({true, caption, filter, ext});
        return withDefaultExtension(next(), ext);
    }
    bool chooseFont(QWidget*, QFont& font) override {
        if (fontAccepted) font = fontAnswer;
        return fontAccepted;
    }
    bool setUpPrinter(QWidget*, QPrinter& printer) override {
        if (!onPrint) return false;
        onPrint(printer);
        return true;
    }
    bool askText(QWidget*, const QString&, const QString& prompt, QString& text) override {
        textQuestions.push_back(prompt);
        if (textAnswers.empty()) return false;
        text = textAnswers.front();
        textAnswers.pop_front();
        return true;
    }

    int runDialog(QDialog& dialog) override {
        dialog.setResult(QDialog::Rejected);
        if (onDialog) onDialog(dialog);
        return dialog.result();
    }

    // The boxes with this text.
    int count(const QString& text) const {
        int n = 0;
        for (const BoxSeen& b : boxes) n += b.text == text ? 1 : 0;
        return n;
    }

private:
    QString next() {
        if (fileAnswers.empty()) return QString();
        QString a = fileAnswers.front();
        fileAnswers.pop_front();
        return a;
    }
};

}  // namespace ordena::gui::test
