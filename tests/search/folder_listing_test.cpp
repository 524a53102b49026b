#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "QtPrinters.h"

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
