#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "QtPrinters.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include "search/SearchPump.h"

using namespace vx::search;

namespace {

// A window with the action button, another button and a text box. (What the pump keeps
// out of a busy window, end to end: the window's run tests.)
struct PumpTest : ::testing::Test {
    QWidget window;
    QPushButton* action = new QPushButton("S&top Search", &window);
    QPushButton* printAll = new QPushButton("Print All &Drawing", &window);
    QLineEdit* pattern = new QLineEdit("*.DWG", &window);
    SearchPump pump{action};
};

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
