#include "app/gui/pane_font.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetricsF>
#include <QString>
#include <QStringList>

namespace ordena::gui {

namespace {

// Characters of every class the reports print: narrow, wide, digits, signs.
constexpr const char* kProbe = "iIlW Mm0.1-|*_=";

QFont candidate(const QString& family) {
    QFont font(family);
    const QFont system = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    if (system.pointSizeF() > 0) font.setPointSizeF(system.pointSizeF());
    font.setStyleHint(QFont::TypeWriter);
    font.setFixedPitch(true);
    return font;
}

}  // namespace

bool hasEqualAdvances(const QFont& font) {
    const QFontMetricsF metrics(font);
    const QString probe = QString::fromLatin1(kProbe);
    const qreal width = metrics.horizontalAdvance(probe[0]);
    if (width <= 0) return false;
    for (QChar c : probe)
        if (metrics.horizontalAdvance(c) != width) return false;
    return true;
}

QFont paneFont() {
    // Families that Debian ships and that are monospace; the first found wins.
    static const char* const kFamilies[] = {"DejaVu Sans Mono", "Liberation Mono", "Noto Sans Mono",
                                            "Nimbus Mono PS",   "Ubuntu Mono",     "Courier New"};
    const QStringList installed = QFontDatabase::families();
    for (const char* family : kFamilies) {
        if (!installed.contains(QString::fromLatin1(family), Qt::CaseInsensitive)) continue;
        const QFont font = candidate(QString::fromLatin1(family));
        if (hasEqualAdvances(font)) return font;
    }
    const QFont system = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    if (hasEqualAdvances(system)) return system;
    for (const QString& family : installed) {
        const QFont font = candidate(family);
        if (hasEqualAdvances(font)) return font;
    }
    return system;
}

}  // namespace ordena::gui
