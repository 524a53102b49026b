#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "QtPrinters.h"

#include <unistd.h>
#include <map>

#include "TempTree.h"
#include "search/FolderListing.h"

using namespace vx::search;
using ::testing::ElementsAre;
using ::testing::UnorderedElementsAre;
using vx::testing::TempTree;

namespace {

std::map<QString, const DirEntry*> ByName(const FolderListing& listing) {
    std::map<QString, const DirEntry*> m;
    for (const auto& e : listing.Entries()) {
        m[e.name] = &e;
    }
    return m;
}

TEST(FolderListing, ListsEveryEntryWithKindAndHiddenMark) {
    TempTree t;
    t.File("a.dwg", 10).File(".hidden.dwg").Dir("Sub").Dir(".git").Link("toA", "a.dwg");
    FolderListing listing(t.Root());
    ASSERT_TRUE(listing.IsOpen());
    const auto m = ByName(listing);
    ASSERT_EQ(m.size(), 5u);
    EXPECT_EQ(m.at("a.dwg")->kind, EntryKind::File);
    EXPECT_FALSE(m.at("a.dwg")->hidden);
    EXPECT_TRUE(m.at(".hidden.dwg")->hidden);
    EXPECT_EQ(m.at("Sub")->kind, EntryKind::Folder);
    EXPECT_TRUE(m.at(".git")->hidden);
    // A link says nothing by itself: its target decides.
    EXPECT_EQ(m.at("toA")->kind, EntryKind::Unknown);
    const auto target = listing.Status(*m.at("toA"));
    ASSERT_TRUE(target);
    EXPECT_EQ(target->kind, EntryKind::File);
    EXPECT_EQ(target->size, 10);
}

TEST(FolderListing, StatusFollowsLinksAndNoticesDanglingOnes) {
    TempTree t;
    t.Dir("Real").Link("Alias", t.Path("Real")).Link("Dangling", t.Path("missing"));
    FolderListing listing(t.Root());
    const auto m = ByName(listing);
    const auto alias = listing.Status(*m.at("Alias"));
    ASSERT_TRUE(alias);
    EXPECT_EQ(alias->kind, EntryKind::Folder);
    // The same folder, reached two ways, has one identity.
    EXPECT_EQ(alias->identity, FolderListing(t.Path("Real")).Identity());
    EXPECT_NE(alias->identity, listing.Identity());
    EXPECT_FALSE(listing.Status(*m.at("Dangling")));
}

TEST(FolderListing, StatusStillWorksAfterTheFolderHandleIsGivenUp) {
    TempTree t;
    t.File("a.dwg", 3000);
    FolderListing listing(t.Root());
    listing.Close();
    const auto s = listing.Status(listing.Entries().at(0));
    ASSERT_TRUE(s);
    EXPECT_EQ(s->size, 3000);
}

TEST(FolderListing, NamesThatAreNoValidTextAreKeptByteForByte) {
    TempTree t;
    const std::string raw = "Pl\xE4n\xFF.dwg";
    t.RawFile("", raw);
    FolderListing listing(t.Root());
    ASSERT_EQ(listing.Entries().size(), 1u);
    const DirEntry& e = listing.Entries()[0];
    EXPECT_EQ(e.rawName, raw);
    EXPECT_EQ(ToFileSystemPath(e.name), raw);
    EXPECT_TRUE(e.name.endsWith(".dwg"));
    EXPECT_TRUE(listing.Status(e));
    // The full path as text leads back to the same file.
    EXPECT_TRUE(StatusOf(t.Root() + "/" + e.name));
}

TEST(FolderListing, AFolderThatCannotBeOpenedListsNothing) {
    TempTree t;
    FolderListing missing(t.Path("missing"));
    EXPECT_FALSE(missing.IsOpen());
    EXPECT_TRUE(missing.Entries().empty());
    t.File("plain.dwg");
    FolderListing notAFolder(t.Path("plain.dwg"));
    EXPECT_FALSE(notAFolder.IsOpen());
}

TEST(FolderListing, AFolderWithoutPermissionListsNothing) {
    TempTree t;
    if (::geteuid() == 0) {
        GTEST_SKIP() << "permissions do not bind the superuser";
    }
    t.Dir("Locked").File("Locked/a.dwg");
    ::chmod(t.Path("Locked").toStdString().c_str(), 0);
    FolderListing locked(t.Path("Locked"));
    ::chmod(t.Path("Locked").toStdString().c_str(), 0755);
    EXPECT_FALSE(locked.IsOpen());
    EXPECT_TRUE(locked.Entries().empty());
}

TEST(FolderListing, IsFolderFollowsLinks) {
    TempTree t;
    t.Dir("D").File("f").Link("L", t.Path("D"));
    EXPECT_TRUE(IsFolder(t.Path("D")));
    EXPECT_TRUE(IsFolder(t.Path("L")));
    EXPECT_FALSE(IsFolder(t.Path("f")));
    EXPECT_FALSE(IsFolder(t.Path("none")));
    EXPECT_FALSE(IsFolder(""));
}

QStringList InListingOrder(std::vector<QString> names) {
    std::vector<DirEntry> entries;
    for (auto& n : names) {
        entries.push_back(DirEntry{n, {}, EntryKind::File, false});
    }
    std::vector<const DirEntry*> ptrs;
    for (const auto& e : entries) {
        ptrs.push_back(&e);
    }
    SortForListing(ptrs);
    QStringList out;
    for (const auto* p : ptrs) {
        out << p->name;
    }
    return out;
}

TEST(ListingOrder, ByNameIgnoringCaseAsWindowsFileSystemsList) {
    // Upper case decides, so "_" (after "Z") follows the letters.
    EXPECT_EQ(InListingOrder({"b.dwg", "_z.dwg", "A.dwg", "a2.DWG", "B1.dwg"}),
              QStringList({"A.dwg", "a2.DWG", "b.dwg", "B1.dwg", "_z.dwg"}));
    // Names equal but for case get a fixed order.
    EXPECT_EQ(InListingOrder({"plan.dwg", "PLAN.dwg", "Plan.dwg"}),
              QStringList({"PLAN.dwg", "Plan.dwg", "plan.dwg"}));
    EXPECT_EQ(InListingOrder({"S2", "s10", "S1", "T"}), QStringList({"S1", "s10", "S2", "T"}));
    EXPECT_EQ(InListingOrder({QString::fromUtf8("äb"), "az", QString::fromUtf8("Ä")}),
              QStringList({"az", QString::fromUtf8("Ä"), QString::fromUtf8("äb")}));
}

}  // namespace
