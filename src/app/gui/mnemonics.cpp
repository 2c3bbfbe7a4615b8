#include "app/gui/mnemonics.h"

#include <QAbstractButton>
#include <QGroupBox>
#include <QLabel>
#include <QSet>
#include <initializer_list>
#include <algorithm>
#include <vector>

namespace ordena::gui {

namespace {

QString textOf(QWidget* w) {
    if (auto* b = qobject_cast<QAbstractButton*>(w)) return b->text();
    if (auto* g = qobject_cast<QGroupBox*>(w)) return g->title();
    if (auto* l = qobject_cast<QLabel*>(w)) return l->text();
    return QString();
}

void setTextOf(QWidget* w, const QString& text) {
    if (auto* b = qobject_cast<QAbstractButton*>(w)) b->setText(text);
    if (auto* g = qobject_cast<QGroupBox*>(w)) g->setTitle(text);
    if (auto* l = qobject_cast<QLabel*>(w)) l->setText(text);
}

// The index of the character after a single "&" ("&&" is a literal "&"),
// or -1.
int mnemonicIndex(const QString& text) {
    for (int i = 0; i + 1 < text.size(); ++i) {
        if (text[i] != '&') continue;
        if (text[i + 1] == '&') {
            ++i;
            continue;
        }
        return i + 1;
    }
    return -1;
}

bool wanted(QWidget* w) {
    if (qobject_cast<QAbstractButton*>(w) != nullptr) return true;
    if (auto* g = qobject_cast<QGroupBox*>(w)) return !g->title().isEmpty();
    if (auto* l = qobject_cast<QLabel*>(w)) return l->buddy() != nullptr && l->textFormat() != Qt::RichText;
    return false;
}

}  // namespace

void assignMnemonics(QWidget* dialog, std::initializer_list<QWidget*> first) {
    std::vector<QWidget*> widgets;
    for (QWidget* w : first)
        if (w != nullptr && wanted(w)) widgets.push_back(w);
    for (QWidget* w : dialog->findChildren<QWidget*>())
        if (wanted(w) && std::find(widgets.begin(), widgets.end(), w) == widgets.end()) widgets.push_back(w);
    QSet<QChar> used;
    for (QWidget* w : widgets) {
        const QString text = textOf(w);
        const int at = mnemonicIndex(text);
        if (at >= 0) used.insert(text[at].toLower());
    }
    for (QWidget* w : widgets) {
        const QString text = textOf(w);
        if (mnemonicIndex(text) >= 0) continue;
        int choice = -1;
        // Word starts, then any letter or digit, then a sign ("+", "/").
        for (int pass = 0; pass < 3 && choice < 0; ++pass) {
            for (int i = 0; i < text.size(); ++i) {
                if (text[i] == '&') {
                    ++i;  // a literal "&&"
                    continue;
                }
                const bool usable = pass < 2 ? text[i].isLetterOrNumber() : !text[i].isSpace();
                if (!usable || used.contains(text[i].toLower())) continue;
                const bool wordStart = i == 0 || !text[i - 1].isLetterOrNumber();
                if (pass == 0 && !wordStart) continue;
                choice = i;
                break;
            }
        }
        if (choice < 0) continue;
        used.insert(text[choice].toLower());
        setTextOf(w, text.left(choice) + '&' + text.mid(choice));
    }
}

}  // namespace ordena::gui
