#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "QtPrinters.h"

#include <QCheckBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "TempTree.h"
#include "UserInput.h"
#include "search/DirListBox.h"
#include "search/DrawingListView.h"
#include "search/DwgThumbnail.h"
#include "search/FileSystemPath.h"
#include "search/FolderTree.h"
#include "search/WindowSearch.h"

using namespace vx::search;
using namespace vx::testing;

namespace {

class CountingPointer : public vx::PointerService {
public:
    void SetPointer(vx::Pointer p) override { current = p; }
    vx::Pointer current = vx::Pointer::Default;
};

// The search's controls laid out as in the main window, wired through WindowSearch.
struct WindowSearchTest : ::testing::Test {
    QWidget form;
    QFrame* picBrowse = new QFrame(&form);
    FolderTree* tree = new FolderTree(picBrowse);
    DirListBox* dir1 = new DirListBox(&form);
    QLineEdit* text1 = new QLineEdit("*.DWG", &form);
    QCheckBox* check1 = new QCheckBox("Include Sub Directories", &form);
    QPushButton* cmdAction = new QPushButton("S&top Search", &form);
    QPushButton* command2 = new QPushButton("Print All &Drawing", &form);
    DrawingListView* list = new DrawingListView(&form);
    DwgThumbnail* thumb = new DwgThumbnail(&form);
    QLabel* status = new QLabel(&form);
    QLabel* label1 = new QLabel("Found Files:", &form);
    CountingPointer pointer;
    bool stopRequested = false;
    int printers = 0;
    int fills = 0;
    std::unique_ptr<WindowSearch> window;

    void SetUp() override {
        picBrowse->setGeometry(8, 8, 200, 200);
        dir1->setGeometry(216, 8, 150, 200);
        text1->setGeometry(374, 8, 100, 24);
        check1->setGeometry(374, 40, 200, 24);
        cmdAction->setGeometry(374, 72, 100, 24);
        command2->setGeometry(374, 104, 100, 24);
        status->setGeometry(8, 216, 600, 40);
        label1->setGeometry(8, 260, 600, 20);
        list->setGeometry(8, 284, 700, 200);
        thumb->setGeometry(600, 8, 193, 105);
        command2->setEnabled(false);
        window = std::make_unique<WindowSearch>(
            WindowSearch::Controls{&form, tree, dir1, text1, check1, cmdAction, command2, list,
                                   thumb, status, label1},
            pointer, stopRequested, [this] { return printers; },
            [this] {
                ++fills;
                printers = 3;
            });
        window->Pump().SetInterval(0);
        form.resize(820, 500);
        form.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    }
    QStringList Names() const {
        QStringList out;
        for (int i = 0; i < list->Model().Count(); ++i) {
            out << list->Model().Row(i).FileName;
        }
        return out;
    }
};

TEST_F(WindowSearchTest, TheSubfolderBoxSearchesDeeperAndANewFolderUnticksIt) {
    TempTree t;
    t.File("a.dwg").File("Sub/c.dwg").File("Sub/Deeper/d.dwg");
    tree->BrowseForFolder(t.Root());
    EXPECT_EQ(Names(), QStringList({"a.dwg"}));
    EXPECT_EQ(fills, 1);
    EXPECT_GT(dir1->HorizontalExtent(), 0);
    QTest::mouseClick(check1, Qt::LeftButton, {}, QPoint(8, check1->height() / 2));
    EXPECT_TRUE(check1->isChecked());
    EXPECT_EQ(Names(), QStringList({"a.dwg", "c.dwg", "d.dwg"}));

    // Double click on Sub in the directory list.
    const int sub = dir1->count() - 1;
    ASSERT_EQ(dir1->item(sub)->text(), "Sub");
    DoubleClick(dir1->viewport(), dir1->visualItemRect(dir1->item(sub)).center());
    EXPECT_EQ(dir1->Path(), t.Path("Sub"));
    EXPECT_FALSE(check1->isChecked());
    EXPECT_EQ(Names(), QStringList({"c.dwg"}));
}

TEST(WindowSearch, TheStatusLineBreaksWhereTheTextHasCarriageReturns) {
    EXPECT_EQ(StatusDisplayText("\r\nClick \"Select a Folder\""), "\nClick \"Select a Folder\"");
    EXPECT_EQ(StatusDisplayText("Searching ... /a/\rPress Cancel to stop search."),
              "Searching ... /a/\nPress Cancel to stop search.");
}

TEST_F(WindowSearchTest, TheActionButtonStopsTheSearchItInterrupts) {
    TempTree t;
    for (int i = 0; i < 30; ++i) {
        t.File(QString("f%1.dwg").arg(i, 2, 10, QChar('0')));
    }
    tree->BrowseForFolder(t.Root());
    ASSERT_EQ(list->Model().Count(), 30);
    PostClick(cmdAction);
    check1->setChecked(true);  // starts a search
    EXPECT_TRUE(stopRequested);
    EXPECT_LT(list->Model().Count(), 30);
    // Idle, the button changes nothing.
    stopRequested = false;
    QTest::mouseClick(cmdAction, Qt::LeftButton);
    EXPECT_FALSE(stopRequested);
}

}  // namespace
