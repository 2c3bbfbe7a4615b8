// The output pane's limit: an append that would overflow deletes the first
// 4096 characters first, line ends count as the CR LF the core writes, and
// what still does not fit is refused.
#include "gui_test.h"

namespace ordena::gui::test {

namespace {

// n characters: numbered lines "00001 ...\r\n" of 20 characters each, then
// filler, so that every position is recognisable.
QString lines(int n) {
    QString text;
    for (int k = 1; text.size() < n; ++k) text += QString("%1 ..........\r\n").arg(k, 6, 10, QChar('0'));
    return text.left(n);
}

QString shownFor(QString raw) {
    raw.replace("\r\n", "\n");
    raw.replace('\r', '\n');
    return raw;
}

}  // namespace

class OutputPaneTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { quietOffscreen(); }

    void anAppendThatWouldOverflowDeletesTheFirst4096Characters() {
        OutputPane pane;
        // The pane is no edit control: it holds 32 Mi characters at start.
        QCOMPARE(pane.limit(), 32 * 1024 * 1024);
        pane.setLimit(32767);
        const QString before = lines(32767 - 50);
        QVERIFY(pane.appendText(before));
        QCOMPARE(pane.length(), 32717);
        const QString more(100, 'y');
        QVERIFY(pane.appendText(more));
        QCOMPARE(pane.length(), 32717 - 4096 + 100);
        QCOMPARE(pane.rawText(), before.mid(4096) + more);
        QCOMPARE(pane.toPlainText(), shownFor(before.mid(4096) + more));
        // 50 more still fit.
        QVERIFY(pane.appendText(QString(50, 'z')));
        QCOMPARE(pane.length(), 32717 - 4096 + 150);
    }

    void aLineEndIsNeverSplit() {
        OutputPane pane;
        pane.setLimit(5000);
        // Character 4096 is the LF of a CR LF.
        const QString text = QString(4095 - 1, 'a') + "\r\n" + QString(800, 'b');
        QVERIFY(pane.appendText(text));
        QVERIFY(pane.appendText(QString(200, 'c')));
        QCOMPARE(pane.rawText(), QString(800, 'b') + QString(200, 'c'));
        QCOMPARE(pane.toPlainText(), pane.rawText());
        // A CR LF that arrives in two appends is one line end.
        pane.clearText();
        QVERIFY(pane.appendText("one\r"));
        QVERIFY(pane.appendText("\ntwo\rthree\n"));
        QCOMPARE(pane.rawText(), QString("one\r\ntwo\rthree\n"));
        QCOMPARE(pane.toPlainText(), QString("one\ntwo\nthree\n"));
    }

    void whatDoesNotFitIsRefused() {
        OutputPane pane;
        pane.setLimit(5000);
        QVERIFY(!pane.appendText(lines(6000)));
        QCOMPARE(pane.rawText(), lines(5000));
        QCOMPARE(pane.toPlainText(), shownFor(lines(5000)));
    }

    // set buffersize limits the pane from the next append on: a long run
    // leaves the last part of its output, whole.
    void bufferSizeLimitsThePane() {
        Scratch s;
        Bench b;
        QString script = "set buffersize=5000;\n";
        QString echoes = "=>set buffersize=5000;\r\n";
        for (int k = 1; k <= 1000; ++k) {
            script += QString("title Line %1;\n").arg(k);
            echoes += QString("=>title Line %1;\r\n").arg(k);
        }
        QVERIFY(b.runAll(script));
        QCOMPARE(b.window->outputPane()->limit(), 5000);
        const QString kept = b.output();
        QVERIFY(kept.size() <= 5000);
        QVERIFY(kept.size() > 5000 - 4096);
        QVERIFY(echoes.endsWith(kept));
        QVERIFY(b.prompter.boxes.empty());
        // A reset keeps the limit; Run All empties the pane.
        QVERIFY(b.runAll("title x;"));
        QCOMPARE(b.window->outputPane()->limit(), 5000);
        QCOMPARE(b.output(), QString("=>title x;\r\n"));
    }
};

static Register<OutputPaneTest> registered;

}  // namespace ordena::gui::test

#include "output_pane_test.moc"
