// The input pane's document: Open, Save, Save As, New with the save
// question, the size limit of command files, the title, the output pane's
// Save As, printing, fonts and the recent-file list across program starts.
#include <QFontDatabase>
#include <QPrinter>

#include "gui_test.h"

namespace ordena::gui::test {

namespace {

const QString kSaveQuestion = "Document has been modified.\nSave Changes?";

void type(Bench& b, const QString& text) {
    b.window->inputPane()->moveCursor(QTextCursor::End);
    b.window->inputPane()->insertPlainText(text);
}

// Pages of a PDF file, as its page objects tell.
int pdfPages(const QByteArray& pdf) { return pdf.count("/Type /Page\n") + pdf.count("/Type /Page ") +
                                             pdf.count("/Type /Page>") + pdf.count("/Type /Page/"); }

}  // namespace

class DocumentTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { quietOffscreen(); }

    void openEditAndSaveKeepTheLineEnds() {
        Scratch s;
        QDir(s.path("")).mkdir("work");
        s.write("work/a.zrc", "title A;\r\ncodes 0,1;\r\n");
        Bench b;
        QCOMPARE(b.window->windowTitle(), QString("Ordena - (Untitled)"));
        b.prompter.fileAnswers = {s.path("work/a.zrc")};
        b.window->action("file.open")->trigger();
        QCOMPARE(b.prompter.fileDialogs.back().filter,
                 QString("Command Files (*.zrc)|*.zrc|All Files (*.*)|*.*||"));
        QCOMPARE(b.window->inputPane()->toPlainText(), QString("title A;\ncodes 0,1;\n"));
        QCOMPARE(b.window->windowTitle(), QString("Ordena - a.zrc"));
        QCOMPARE(QDir::currentPath(), s.path("work"));  // its data files are found beside it
        QCOMPARE(QString::fromStdString(b.window->recentFiles().slot(0)), s.path("work/a.zrc"));
        type(b, "model item;\n");
        QVERIFY(b.window->inputPane()->document()->isModified());
        b.window->action("file.save")->trigger();
        QCOMPARE(s.read("work/a.zrc"), QByteArray("title A;\r\ncodes 0,1;\r\nmodel item;\r\n"));
        QVERIFY(!b.window->inputPane()->document()->isModified());
        QVERIFY(b.prompter.boxes.empty());

        // Save As names the document anew; a new file ends its lines with LF.
        b.prompter.fileAnswers = {s.path("b")};
        b.window->action("file.saveas")->trigger();
        QCOMPARE(b.prompter.fileDialogs.back().filter,
                 QString("Ordena Control Files (*.zrc)|*.zrc|Text Files (*.txt)|*.txt|All Files (*.*)|*.*||"));
        QCOMPARE(b.window->windowTitle(), QString("Ordena - b.zrc"));
        QVERIFY(QFile::exists(s.path("b.zrc")));
        b.window->action("file.new")->trigger();
        type(b, "title C;\nreset;");
        b.prompter.fileAnswers = {s.path("c.zrc")};
        QVERIFY(b.window->saveDocument());
        QCOMPARE(s.read("c.zrc"), QByteArray("title C;\nreset;"));
        QCOMPARE(b.window->documentName(), s.path("c.zrc"));
    }

    // The edit control's 32767 bytes are no limit: a script the workbench
    // saved opens again. Only a file as large as the most a script may hold
    // (64 MiB) is refused.
    void commandFilesMustBeSmallerThanAScriptMayBe() {
        Scratch s;
        Bench b;
        QString script;
        for (int k = 1; script.size() < 100000; ++k) script += QString("title Line %1;\n").arg(k);
        b.window->inputPane()->setPlainText(script);
        b.prompter.fileAnswers = {s.path("long.zrc")};
        QVERIFY(b.window->saveDocumentAs());
        b.window->action("file.new")->trigger();
        b.window->openFile(s.path("long.zrc"));
        QVERIFY(b.prompter.boxes.empty());
        QCOMPARE(b.window->inputPane()->toPlainText(), script);
        QCOMPARE(b.window->windowTitle(), QString("Ordena - long.zrc"));
        {
            QFile big(s.path("big.zrc"));
            QVERIFY(big.open(QIODevice::WriteOnly));
            QVERIFY(big.resize(qint64{64} << 20));  // sparse: nothing is written
        }
        b.window->openFile(s.path("big.zrc"));
        QCOMPARE(b.prompter.boxes.size(), std::size_t(1));
        QCOMPARE(b.prompter.boxes[0].title, QString("Edit"));
        QCOMPARE(b.prompter.boxes[0].text, QString("File too big."));
        QCOMPARE(b.window->inputPane()->toPlainText(), QString());
        QCOMPARE(b.window->windowTitle(), QString("Ordena - (Untitled)"));
        QVERIFY(b.window->documentName().isEmpty());

        b.window->openFile(s.path("missing.zrc"));
        QCOMPARE(b.prompter.boxes.back().text, "Cannot open " + s.path("missing.zrc"));
        b.window->openFile(s.path(""));
        QCOMPARE(b.prompter.boxes.back().text, "Cannot open " + s.path(""));
        QCOMPARE(b.window->windowTitle(), QString("Ordena - (Untitled)"));
    }

    void theSaveQuestionHasThreeAnswers() {
        Scratch s;
        Bench b;
        type(b, "title Kept;");
        // Cancel: nothing changes.
        b.prompter.answers = {BoxAnswer::Cancel};
        b.window->action("file.new")->trigger();
        QCOMPARE(b.prompter.count(kSaveQuestion), 1);
        QCOMPARE(b.prompter.boxes.back().title, QString("Edit"));
        QCOMPARE(b.prompter.boxes.back().buttons, BoxButtons::YesNoCancel);
        QCOMPARE(b.window->inputPane()->toPlainText(), QString("title Kept;"));
        // Yes, but the save dialog is cancelled: as Cancel.
        b.prompter.answers = {BoxAnswer::Yes};
        b.window->action("file.new")->trigger();
        QCOMPARE(b.window->inputPane()->toPlainText(), QString("title Kept;"));
        // Yes: saved, then the new document.
        b.prompter.answers = {BoxAnswer::Yes};
        b.prompter.fileAnswers = {s.path("kept.zrc")};
        b.window->action("file.new")->trigger();
        QCOMPARE(s.read("kept.zrc"), QByteArray("title Kept;"));
        QCOMPARE(b.window->inputPane()->toPlainText(), QString());
        QCOMPARE(b.window->windowTitle(), QString("Ordena - (Untitled)"));
        // No: the changes go, the file stays as it was.
        b.window->openFile(s.path("kept.zrc"));
        type(b, " title Lost;");
        b.prompter.answers = {BoxAnswer::No};
        b.window->action("file.new")->trigger();
        QCOMPARE(b.prompter.count(kSaveQuestion), 4);
        QCOMPARE(s.read("kept.zrc"), QByteArray("title Kept;"));
        QCOMPARE(b.window->inputPane()->toPlainText(), QString());
        // An unmodified document is not asked about.
        b.window->action("file.new")->trigger();
        QCOMPARE(b.prompter.count(kSaveQuestion), 4);
    }

    void aFailedSaveKeepsTheDocument() {
        Scratch s;
        Bench b;
        type(b, "title x;");
        b.prompter.fileAnswers = {s.path("no/such/dir/x.zrc")};
        QVERIFY(!b.window->saveDocumentAs());
        QCOMPARE(b.prompter.boxes.back().text, "Cannot open " + s.path("no/such/dir/x.zrc"));
        QCOMPARE(b.prompter.boxes.back().title, QString("Edit"));
        QVERIFY(b.window->inputPane()->document()->isModified());
        QCOMPARE(b.window->windowTitle(), QString("Ordena - (Untitled)"));
    }

    void theOutputPaneSavesItsText() {
        Scratch s;
        Bench b;
        QVERIFY(b.runAll("title x; title y;"));
        b.window->outputPane()->setFocus();
        QApplication::processEvents();
        b.prompter.fileAnswers = {s.path("out")};
        b.window->action("file.save")->trigger();
        QCOMPARE(b.prompter.fileDialogs.back().filter, QString("Text Files (*.txt)|*.txt|All Files (*.*)|*.*||"));
        QCOMPARE(s.read("out.txt"), QByteArray("=>title x;\n=> title y;\n"));
        // Save writes to the same file again, without asking.
        QVERIFY(b.runAll("title z;"));
        b.window->action("file.save")->trigger();
        QCOMPARE(b.prompter.fileDialogs.size(), std::size_t(1));
        QCOMPARE(s.read("out.txt"), QByteArray("=>title z;\n"));
        // The input pane's document was not touched.
        QVERIFY(b.window->documentName().isEmpty());
    }

    void printingToPdfGivesPagesOfTheText() {
        Scratch s;
        Bench b;
        auto print = [&](int lines, const QString& file) {
            QString text;
            for (int k = 1; k <= lines; ++k) text += QString("title Line %1;\n").arg(k);
            b.window->inputPane()->setPlainText(text);
            b.window->inputPane()->setFocus();
            b.prompter.onPrint = [&](QPrinter& printer) {
                printer.setOutputFormat(QPrinter::PdfFormat);
                printer.setOutputFileName(s.path(file));
            };
            b.window->action("file.print")->trigger();
            return s.read(file);
        };
        const QByteArray small = print(3, "small.pdf");
        QVERIFY(small.startsWith("%PDF"));
        QCOMPARE(pdfPages(small), 1);
        const QByteArray large = print(300, "large.pdf");
        const QByteArray larger = print(600, "larger.pdf");
        QVERIFY(pdfPages(large) >= 3);
        // Twice the lines, twice the pages (give or take the last page).
        QVERIFY(std::abs(pdfPages(larger) - 2 * pdfPages(large)) <= 1);
        QVERIFY(b.prompter.boxes.empty());
        // A printer that cannot start reports it.
        b.prompter.onPrint = [&](QPrinter& printer) {
            printer.setOutputFormat(QPrinter::PdfFormat);
            printer.setOutputFileName(s.path("no/such/dir/x.pdf"));
        };
        QTest::ignoreMessage(QtWarningMsg, "QPainter::begin(): Returned false");
        b.window->action("file.print")->trigger();
        QCOMPARE(b.prompter.boxes.back().text, QString("Error starting print job."));
        QCOMPARE(b.prompter.boxes.back().title, QString("Edit"));
    }

    void theFontItemChangesTheActivePane() {
        Scratch s;
        Bench b;
        // The columns of the reports line up: every character advances alike,
        // whatever monospace fonts the machine has (some are not marked fixed
        // pitch although they are).
        for (QPlainTextEdit* pane : {b.window->inputPane(), static_cast<QPlainTextEdit*>(b.window->outputPane())}) {
            const QFontMetricsF metrics(pane->font());
            const qreal width = metrics.horizontalAdvance(QChar('W'));
            QVERIFY(width > 0);
            for (QChar c : QString("iIlMm0.1-| *_="))
                QVERIFY2(metrics.horizontalAdvance(c) == width, qPrintable(pane->font().family() + ": " + c));
        }
        b.prompter.fontAccepted = true;
        b.prompter.fontAnswer = QFont("DejaVu Serif", 15);
        b.window->inputPane()->setFocus();
        QApplication::processEvents();
        b.window->action("edit.font")->trigger();
        QCOMPARE(b.window->inputPane()->font().pointSize(), 15);
        QVERIFY(b.window->outputPane()->font().pointSize() != 15);
    }

    void recentFilesLastAcrossProgramStarts() {
        Scratch s;
        for (const char* name : {"a.zrc", "b.zrc", "c.zrc", "d.zrc", "e.zrc"}) s.write(name, "title x;");
        {
            Bench b;
            for (const char* name : {"a.zrc", "b.zrc", "c.zrc", "d.zrc", "e.zrc", "c.zrc"})
                b.window->openFile(s.path(name));
            QVERIFY(b.window->close());
        }
        // The list, then the windows' places (a section of their own).
        QVERIFY(s.read(s.iniFile()).startsWith(("[Recent File List]\nFile1=" + s.path("c.zrc") + "\nFile2=" +
                                                s.path("e.zrc") + "\nFile3=" + s.path("d.zrc") + "\nFile4=" +
                                                s.path("b.zrc") + "\n\n[Window Placement]\n")
                                                   .toUtf8()));
        {
            Bench b;
            QCOMPARE(b.window->action("recent.1")->text(), "&1 " + s.path("c.zrc"));
            QCOMPARE(b.window->action("recent.4")->text(), "&4 " + s.path("b.zrc"));
            b.window->action("recent.3")->trigger();
            QCOMPARE(b.window->windowTitle(), QString("Ordena - d.zrc"));
            QCOMPARE(b.window->action("recent.1")->text(), "&1 " + s.path("d.zrc"));
            QCOMPARE(b.window->action("recent.2")->text(), "&2 " + s.path("c.zrc"));
            QCOMPARE(b.window->action("recent.4")->text(), "&4 " + s.path("b.zrc"));
            QVERIFY(b.window->close());
        }
        // Other sections stay; a slot written as "---" holds no file; a
        // system file is loaded with get, whatever the letter case.
        s.write(s.iniFile().mid(s.path("").size()),
                "[Other]\nkey=value\n\n[Recent File List]\nFile1=/data/RUN1.ZRS\nFile2=---\n");
        {
            Bench b;
            QVERIFY(b.enabled("recent.1"));
            QVERIFY(!b.enabled("recent.2"));
            QCOMPARE(b.window->action("recent.2")->text(), QString("Recent File"));
            b.window->action("recent.1")->trigger();
            QVERIFY(b.waitIdle());
            QVERIFY(b.output().startsWith("=>get << /data/RUN1.ZRS;\r\n"));
            QCOMPARE(b.window->inputPane()->toPlainText(), QString());
            QVERIFY(b.window->close());
        }
        QVERIFY(s.read(s.iniFile())
                    .startsWith("[Other]\nkey=value\n\n[Recent File List]\nFile1=/data/RUN1.ZRS\n\n[Window Placement]\n"));
    }
};

static Register<DocumentTest> registered;

}  // namespace ordena::gui::test

#include "document_test.moc"
