// The user guide in a window of its own: its chapters and sections in a
// list beside the page, the links between them followed, Back and Forward.
// The guide is built into the program from docs/, so it is the guide of
// this version wherever the program is installed.
#pragma once

#include <QTextBrowser>
#include <QWidget>

class QTreeWidget;
class QTreeWidgetItem;

namespace ordena::gui {

// A page of the guide: markdown, with sections found by the anchors the
// guide's links use ("statements.md#estimate").
class GuideBrowser final : public QTextBrowser {
    Q_OBJECT
public:
    explicit GuideBrowser(QWidget* parent = nullptr);
    // The heading at the top of the view (or the page's title).
    QString currentHeading() const;

protected:
    void doSetSource(const QUrl& url, QTextDocument::ResourceType type) override;
    // The section stays at the top while the page is laid out anew.
    void resizeEvent(QResizeEvent* event) override;

private:
    bool scrollToHeading(const QString& anchor);

    QString anchor_;  // the section shown, until the reader scrolls away
    bool scrolling_ = false;
};

class HelpWindow final : public QWidget {
    Q_OBJECT
public:
    explicit HelpWindow(QWidget* parent = nullptr);

    // A page of the guide ("statements.md") at a section's anchor, or at
    // its top when the anchor is empty or not found.
    void showPage(const QString& page, const QString& anchor = QString());
    // The section of the statement of a command number; the list of
    // statements when it has none.
    void showStatement(int command);
    // The section on dofor loops.
    void showLoops();

    GuideBrowser* browser() const { return browser_; }
    QTreeWidget* contents() const { return contents_; }

    // The anchor of a heading, as the guide's links write it: lower case,
    // punctuation dropped, blanks as "-".
    static QString anchorOf(const QString& heading);
    // The section of statements.md that a command number's word heads.
    static QString statementAnchor(int command);

private:
    void buildContents();

    GuideBrowser* browser_;
    QTreeWidget* contents_;
};

}  // namespace ordena::gui
