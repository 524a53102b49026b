#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "QtPrinters.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QVBoxLayout>

#include "SearchRecorder.h"
#include "TempTree.h"
#include "UserInput.h"
#include "search/SearchPump.h"

using namespace vx::search;
using ::testing::Contains;
using vx::testing::RecordingSearchHost;
using vx::testing::TempTree;

namespace {

// A window with the action button, another button and a text box, searched by a host
// whose KeepAlive pumps.
struct PumpTest : ::testing::Test {
    QWidget window;
    QPushButton* action = new QPushButton("S&top Search", &window);
    QPushButton* printAll = new QPushButton("Print All &Drawing", &window);
    QLineEdit* pattern = new QLineEdit("*.DWG", &window);
    SearchPump pump{action};
    TempTree t;
    RecordingSearchHost host;
    FileSearch search{host};
    int printAllClicks = 0;

    void SetUp() override {
        auto* layout = new QVBoxLayout(&window);
        layout->addWidget(action);
        layout->addWidget(printAll);
        layout->addWidget(pattern);
        QObject::connect(action, &QPushButton::clicked,
                         [this] { search.cmdAction_Click(action->text()); });
        QObject::connect(printAll, &QPushButton::clicked, [this] { ++printAllClicks; });
        pump.SetInterval(0);
        host.onKeepAlive = [this] { pump.Pump(); };
        host.printerCount = 5;
        host.dirPath = t.Root();
        for (int i = 0; i < 20; ++i) {
            t.File(QString("f%1.dwg").arg(i, 2, 10, QChar('0')));
        }
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    }
};

TEST_F(PumpTest, OtherControlsIgnoreInputWhileTheSearchRuns) {
    PostClick(printAll);
    PostKey(pattern, Qt::Key_X, Qt::NoModifier, "x");
    search.Check1_Click();
    EXPECT_EQ(host.rows.size(), 20u);
    EXPECT_EQ(printAllClicks, 0);
    EXPECT_EQ(pattern->text(), "*.DWG");
    // Once the search is over, input is served again.
    PostClick(printAll);
    QCoreApplication::processEvents();
    EXPECT_EQ(printAllClicks, 1);
}

TEST_F(PumpTest, TheWindowCannotBeClosedUnderTheSearch) {
    QCoreApplication::postEvent(&window, new QCloseEvent);
    search.Check1_Click();
    EXPECT_TRUE(window.isVisible());
    EXPECT_EQ(host.rows.size(), 20u);
}

TEST_F(PumpTest, PumpsAtMostOncePerInterval) {
    pump.SetInterval(60000);
    int fired = 0;
    pump.Pump();  // the first pump always runs
    QTimer::singleShot(0, [&] { ++fired; });
    pump.Pump();
    EXPECT_EQ(fired, 0);
    QCoreApplication::processEvents();
    EXPECT_EQ(fired, 1);
}

TEST_F(PumpTest, ShortcutsReachOnlyTheActionButton) {
    QCloseEvent close;
    QKeyEvent key(QEvent::KeyPress, Qt::Key_T, Qt::AltModifier, "t");
    QEvent shortcut(QEvent::Shortcut);
    QEvent paint(QEvent::Paint);
    EXPECT_FALSE(pump.Withholds(action, &key));
    EXPECT_FALSE(pump.Withholds(action, &shortcut));
    EXPECT_TRUE(pump.Withholds(printAll, &shortcut));
    EXPECT_TRUE(pump.Withholds(pattern, &key));
    EXPECT_TRUE(pump.Withholds(&window, &close));
    EXPECT_FALSE(pump.Withholds(pattern, &close));
    EXPECT_FALSE(pump.Withholds(printAll, &paint));
    QObject action2;
    EXPECT_TRUE(pump.Withholds(&action2, &shortcut));  // a menu action
    EXPECT_FALSE(pump.Withholds(&action2, &key));      // the window system passes keys on
}

}  // namespace
