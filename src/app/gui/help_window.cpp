#include "app/gui/help_window.h"

#include <QAbstractTextDocumentLayout>
#include <QFile>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QRegularExpression>
#include <QScrollBar>
#include <QSplitter>
#include <QTextBlock>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "command/command_table.h"
#include "command/parse.h"
#include "app/gui/gui_shell.h"

namespace ordena::gui {

namespace {

const QString kGuide = "qrc:/guide/";

// The chapters in the order of the guide's own contents.
const char* const kPages[] = {"README.md",       "getting-started.md", "command-language.md",
                              "statements.md",   "data-and-models.md", "examples.md",
                              "files.md",        "messages.md",        "workbench.md"};

QString pageText(const QString& page) {
    QFile f(":/guide/" + page);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

// The headings of a page, "#" and "##" only: level and text.
std::vector<std::pair<int, QString>> headings(const QString& page) {
    std::vector<std::pair<int, QString>> out;
    bool fence = false;
    for (const QString& line : pageText(page).split('\n')) {
        if (line.startsWith("```")) fence = !fence;
        if (fence) continue;
        if (line.startsWith("# ")) out.emplace_back(1, line.mid(2).trimmed());
        if (line.startsWith("## ")) out.emplace_back(2, line.mid(3).trimmed());
    }
    return out;
}

// Markdown leaves the code marks of a heading out of its text.
QString plainHeading(QString heading) { return heading.remove('`'); }

}  // namespace

GuideBrowser::GuideBrowser(QWidget* parent) : QTextBrowser(parent) {
    setObjectName("guide");
    setOpenLinks(true);
    setOpenExternalLinks(true);
    connect(verticalScrollBar(), &QScrollBar::valueChanged, this, [this] {
        if (!scrolling_) anchor_.clear();
    });
}

void GuideBrowser::resizeEvent(QResizeEvent* event) {
    QTextBrowser::resizeEvent(event);
    if (!anchor_.isEmpty()) {
        const QString anchor = anchor_;
        scrollToHeading(anchor);
    }
}

QString HelpWindow::anchorOf(const QString& heading) {
    QString a = plainHeading(heading).toLower();
    a.remove(QRegularExpression("[^a-z0-9 _-]"));
    a.replace(' ', '-');
    return a;
}

void GuideBrowser::doSetSource(const QUrl& url, QTextDocument::ResourceType type) {
    QUrl page = url;
    page.setFragment(QString());
    if (page != source()) QTextBrowser::doSetSource(page, type);
    anchor_.clear();
    if (url.hasFragment() && scrollToHeading(url.fragment())) return;
    scrolling_ = true;
    verticalScrollBar()->setValue(0);
    scrolling_ = false;
}

bool GuideBrowser::scrollToHeading(const QString& anchor) {
    for (QTextBlock b = document()->begin(); b.isValid(); b = b.next()) {
        if (b.blockFormat().headingLevel() == 0 || HelpWindow::anchorOf(b.text()) != anchor) continue;
        scrolling_ = true;
        setTextCursor(QTextCursor(b));
        const QRectF box = document()->documentLayout()->blockBoundingRect(b);
        verticalScrollBar()->setValue(static_cast<int>(box.top()));
        scrolling_ = false;
        anchor_ = anchor;
        return true;
    }
    return false;
}

QString GuideBrowser::currentHeading() const {
    const int top = verticalScrollBar()->value();
    QString heading;
    for (QTextBlock b = document()->begin(); b.isValid(); b = b.next()) {
        if (b.blockFormat().headingLevel() == 0) continue;
        if (document()->documentLayout()->blockBoundingRect(b).top() > top + 2) break;
        heading = b.text();
    }
    return heading;
}

HelpWindow::HelpWindow(QWidget* parent) : QWidget(parent, Qt::Window) {
    setObjectName("help");
    setWindowTitle("Ordena Help");
    resize(900, 640);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    auto* bar = new QHBoxLayout;
    layout->addLayout(bar);
    auto button = [&](const QString& caption, const QString& name) {
        auto* b = new QPushButton(caption, this);
        b->setObjectName(name);
        bar->addWidget(b);
        return b;
    };
    QPushButton* back = button("&Back", "help.back");
    QPushButton* forward = button("&Forward", "help.forward");
    QPushButton* home = button("&Contents", "help.home");
    QPushButton* statements = button("&Statements", "help.statements");
    bar->addStretch();

    auto* splitter = new QSplitter(this);
    splitter->setObjectName("help.splitter");
    contents_ = new QTreeWidget(splitter);
    contents_->setObjectName("help.contents");
    contents_->setHeaderHidden(true);
    browser_ = new GuideBrowser(splitter);
    splitter->addWidget(contents_);
    splitter->addWidget(browser_);
    splitter->setStretchFactor(1, 1);
    splitter->setSizes({240, 640});
    layout->addWidget(splitter);

    back->setEnabled(false);
    forward->setEnabled(false);
    connect(back, &QPushButton::clicked, browser_, &QTextBrowser::backward);
    connect(forward, &QPushButton::clicked, browser_, &QTextBrowser::forward);
    connect(browser_, &QTextBrowser::backwardAvailable, back, &QWidget::setEnabled);
    connect(browser_, &QTextBrowser::forwardAvailable, forward, &QWidget::setEnabled);
    connect(home, &QPushButton::clicked, this, [this] { showPage("README.md"); });
    connect(statements, &QPushButton::clicked, this, [this] { showPage("statements.md"); });
    connect(contents_, &QTreeWidget::itemActivated, this, [this](QTreeWidgetItem* item) {
        showPage(item->data(0, Qt::UserRole).toString(), item->data(0, Qt::UserRole + 1).toString());
    });
    connect(contents_, &QTreeWidget::itemClicked, this, [this](QTreeWidgetItem* item) {
        showPage(item->data(0, Qt::UserRole).toString(), item->data(0, Qt::UserRole + 1).toString());
    });
    buildContents();
    showPage("README.md");
}

void HelpWindow::buildContents() {
    for (const char* page : kPages) {
        QTreeWidgetItem* chapter = nullptr;
        for (const auto& [level, text] : headings(page)) {
            auto* item = level == 1 || chapter == nullptr ? new QTreeWidgetItem(contents_)
                                                          : new QTreeWidgetItem(chapter);
            if (level == 1 || chapter == nullptr) chapter = item;
            item->setText(0, plainHeading(text));
            item->setData(0, Qt::UserRole, QString(page));
            item->setData(0, Qt::UserRole + 1, level == 1 ? QString() : anchorOf(text));
        }
    }
}

void HelpWindow::showPage(const QString& page, const QString& anchor) {
    QUrl url(kGuide + page);
    if (!anchor.isEmpty()) url.setFragment(anchor);
    browser_->setSource(url, QTextDocument::MarkdownResource);
    show();
    raise();
    activateWindow();
}

QString HelpWindow::statementAnchor(int command) {
    if (command < 0 || command >= kCommandCount) return QString();
    // The section whose heading is the command word or an abbreviation of
    // it, as the executor would read the heading.
    for (const auto& [level, text] : headings("statements.md")) {
        if (level != 2) continue;
        if (findKeyword(toMString(plainHeading(text)), kCommandWords, kCommandCount) == command) return anchorOf(text);
    }
    return QString();
}

void HelpWindow::showStatement(int command) { showPage("statements.md", statementAnchor(command)); }

void HelpWindow::showLoops() {
    for (const auto& [level, text] : headings("command-language.md"))
        if (level == 2 && text.contains("dofor")) {
            showPage("command-language.md", anchorOf(text));
            return;
        }
    showPage("command-language.md");
}

}  // namespace ordena::gui
