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
    void splitterLimits_data();
    void splitterLimits();
    void splitterBarFollowsMouse_data();
    void splitterBarFollowsMouse();
    void releaseSetsEditorHeightThatLaterLayoutsKeep_data();
    void releaseSetsEditorHeightThatLaterLayoutsKeep();
};

namespace {
// The design-time window: client area 8925 x 7200, toolbar 420, status bar 360, hint 165.
Input designWindow(int clientHeight = 7200, std::optional<int> editorHeight = {})
{
    return {8925, clientHeight, 420, 360, 165, editorHeight};
}
} // namespace

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
    const Result r = ArrangeControls({8925, clientHeight, 420, 360, 165, {}});
    QCOMPARE(r.editorHeight, editorHeight);
    QCOMPARE(r.editor.height, editorHeight);
}

void tst_MainLayout::laterLayoutsKeepEditorHeight()
{
    const Result first = ArrangeControls({8925, 7200, 420, 360, 165, {}});
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

void tst_MainLayout::splitterLimits_data()
{
    QTest::addColumn<int>("clientHeight");
    QTest::addColumn<int>("top");
    QTest::addColumn<int>("bottom");
    QTest::addColumn<bool>("empty");
    // From the toolbar's bottom edge to where the list keeps the hint's 165 twips.
    QTest::newRow("design height") << 7200 << 420 << 7200 - 360 - 60 - 165 << false;
    QTest::newRow("just room for the grip") << 1005 << 420 << 420 << false;
    QTest::newRow("too low") << 1000 << 420 << 415 << true;
}

void tst_MainLayout::splitterLimits()
{
    QFETCH(int, clientHeight);
    QFETCH(int, top);
    QFETCH(int, bottom);
    QFETCH(bool, empty);
    const SplitterRange limits = SplitterLimits(designWindow(clientHeight, 4464));
    QCOMPARE(limits, (SplitterRange{top, bottom}));
    QCOMPARE(limits.isEmpty(), empty);
}

void tst_MainLayout::splitterBarFollowsMouse_data()
{
    QTest::addColumn<int>("clientHeight");
    QTest::addColumn<double>("mouseY");
    QTest::addColumn<int>("barTop");
    // The grip lies at 420 + 4464 = 4884; the bar was last left at 3000. The
    // mouse is measured from the grip's top edge.
    QTest::newRow("up") << 7200 << -1500.0 << 3384;
    QTest::newRow("fraction of a twip rounds") << 7200 << -0.6 << 4883;
    QTest::newRow("exactly the toolbar's edge") << 7200 << -4464.0 << 420;
    QTest::newRow("above the toolbar: held at its edge") << 7200 << -6000.0 << 420;
    QTest::newRow("exactly the lower limit") << 7200 << 1731.0 << 6615;
    QTest::newRow("below the lower limit: held there") << 7200 << 9000.0 << 6615;
    QTest::newRow("no room at all: the bar stays") << 1000 << -4000.0 << 3000;
}

void tst_MainLayout::splitterBarFollowsMouse()
{
    QFETCH(int, clientHeight);
    QFETCH(double, mouseY);
    QFETCH(int, barTop);
    const Input in = designWindow(clientHeight, 4464);
    const int gripTop = ArrangeControls(in).splitterGrip.top;
    QCOMPARE(gripTop, 4884);
    QCOMPARE(SplitterBarTop(3000, gripTop, mouseY, SplitterLimits(in)), barTop);
}

void tst_MainLayout::releaseSetsEditorHeightThatLaterLayoutsKeep_data()
{
    QTest::addColumn<int>("barTop");
    QTest::addColumn<int>("editorHeight");
    QTest::newRow("editor of 2000") << 2420 << 2000;
    QTest::newRow("no editor") << 420 << 0;
    QTest::newRow("list as low as the hint") << 6615 << 6195;
    QTest::newRow("released where it was") << 4884 << 4464;
}

void tst_MainLayout::releaseSetsEditorHeightThatLaterLayoutsKeep()
{
    QFETCH(int, barTop);
    QFETCH(int, editorHeight);
    const Result released = ReleaseSplitter(designWindow(7200, 4464), barTop);
    QCOMPARE(released.editorHeight, editorHeight);
    QCOMPARE(released.editor, (Rect{15, 420, 8925, editorHeight}));
    QCOMPARE(released.splitterGrip.top, barTop);
    QCOMPARE(released.splitterBar.top, barTop);
    QCOMPARE(released.resultList.top, 420 + 60 + editorHeight);
    QCOMPARE(released.resultList.height, 7200 - (420 + 360 + 60 + editorHeight));
    QVERIFY(released.resultList.height >= 165);

    // Every later layout keeps the editor, whatever the window's height.
    for (int clientHeight : {9000, 7200, 3000, 500}) {
        const Result later = ArrangeControls(designWindow(clientHeight, released.editorHeight));
        QCOMPARE(later.editor.height, editorHeight);
        QCOMPARE(later.resultList.height,
                 std::max(0, clientHeight - (420 + 360 + 60 + editorHeight)));
    }
}

QTEST_GUILESS_MAIN(tst_MainLayout)

#include "tst_mainlayout.moc"
