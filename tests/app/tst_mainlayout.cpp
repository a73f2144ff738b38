#include "app/mainlayout.h"

#include <QTest>

using namespace MainLayout;

/// The layout rule in twips, with the design-time numbers of the main window.
class tst_MainLayout : public QObject
{
    Q_OBJECT

private slots:
    void firstLayoutGivesEditorItsShare_data();
    void firstLayoutGivesEditorItsShare();
    void laterLayoutsKeepEditorHeight();
    void tooLowWindowGivesListNoHeight();
};

void tst_MainLayout::firstLayoutGivesEditorItsShare_data()
{
    QTest::addColumn<int>("clientHeight");
    QTest::addColumn<int>("editorHeight");
    QTest::newRow("design height") << 7200 << 4464;
    QTest::newRow("rounds down") << 1001 << 621;    // 620.62
    QTest::newRow("rounds up") << 1003 << 622;      // 621.86
    QTest::newRow("half up to even") << 25 << 16;   // 15.5
    QTest::newRow("half down to even") << 75 << 46; // 46.5
    QTest::newRow("empty client") << 0 << 0;
}

void tst_MainLayout::firstLayoutGivesEditorItsShare()
{
    QFETCH(int, clientHeight);
    QFETCH(int, editorHeight);
    const Result r = ArrangeControls({8925, clientHeight, 420, 360, 165, 0});
    QCOMPARE(r.editorHeight, editorHeight);
    QCOMPARE(r.editor.height, editorHeight);
}

void tst_MainLayout::laterLayoutsKeepEditorHeight()
{
    const Result first = ArrangeControls({8925, 7200, 420, 360, 165, 0});
    QCOMPARE(first.editor, (Rect{15, 420, 8925, 4464}));
    QCOMPARE(first.splitterGrip, (Rect{15, 4884, 8925, 60}));
    QCOMPARE(first.splitterBar, first.splitterGrip);
    QCOMPARE(first.resultList, (Rect{15, 4944, 8925, 7200 - 4464 - 60 - 360 - 420}));
    QCOMPARE(first.hintTop, 7200 - 360 - 165);
    QCOMPARE(first.hintLeft, 60);

    const Result taller = ArrangeControls({12000, 9000, 420, 360, 165, first.editorHeight});
    QCOMPARE(taller.editorHeight, 4464);
    QCOMPARE(taller.editor.width, 12000);
    QCOMPARE(taller.resultList.height, 9000 - 4464 - 60 - 360 - 420);
}

void tst_MainLayout::tooLowWindowGivesListNoHeight()
{
    const Result r = ArrangeControls({8925, 3000, 420, 360, 165, 4464});
    QCOMPARE(r.editor.height, 4464);
    QCOMPARE(r.resultList.height, 0);
    QCOMPARE(r.resultList.top, 420 + 60 + 4464);
    QVERIFY(r.hintTop < r.resultList.top); // the hint may sit above the list
}

int runMainLayoutTests(int argc, char **argv)
{
    tst_MainLayout test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_mainlayout.moc"
