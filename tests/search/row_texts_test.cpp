#include <gtest/gtest.h>

#include "QtPrinters.h"

#include <QMimeDatabase>

#include "search/RowTexts.h"

using namespace vx::search;

namespace {

const QLocale kUs(QLocale::English, QLocale::UnitedStates);
const QLocale kGerman(QLocale::German, QLocale::Germany);

TEST(SizeText, KilobytesToOneDecimalTiesToEven) {
    const std::pair<std::int64_t, const char*> cases[] = {
        {0, "0 KB"},
        {51, "0 KB"},
        {52, "0.1 KB"},
        {256, "0.2 KB"},
        {768, "0.8 KB"},
        {1023, "1 KB"},
        {1024, "1 KB"},
        {1280, "1.2 KB"},
        {1536, "1.5 KB"},
        {1792, "1.8 KB"},
        {2304, "2.2 KB"},
        {10240, "10 KB"},
        {1048576, "1024 KB"},
        {1048525, "1024 KB"},
        {1048524, "1023.9 KB"},
        {1024LL * 1024 * 1024 * 5, "5242880 KB"},
    };
    for (const auto& [bytes, text] : cases) {
        EXPECT_EQ(SizeText(bytes, kUs), text) << bytes;
    }
}

TEST(SizeText, UsesTheDecimalSeparatorOfTheLocaleAndNoGrouping) {
    EXPECT_EQ(SizeText(256, kGerman), "0,2 KB");
    EXPECT_EQ(SizeText(12800000, kGerman), "12500 KB");
    EXPECT_EQ(SizeText(12800000 + 512, kGerman), "12500,5 KB");
}

TEST(DateTexts, ShortDateAndLongTimeWithoutZone) {
    const QDateTime afternoon(QDate(2021, 6, 15), QTime(13, 4, 5));
    EXPECT_EQ(DateTexts(kUs).Text(afternoon), "6/15/21 1:04:05 PM");
    EXPECT_EQ(DateTexts(kGerman).Text(afternoon), "15.06.21 13:04:05");
    const QDateTime morning(QDate(2021, 6, 15), QTime(0, 0, 1));
    EXPECT_EQ(DateTexts(kGerman).Text(morning), "15.06.21 00:00:01");
}

TEST(DateTexts, MidnightShowsTheDateOnly) {
    const QDateTime midnight(QDate(2020, 2, 29), QTime(0, 0, 0));
    EXPECT_EQ(DateTexts(kUs).Text(midnight), "2/29/20");
    EXPECT_EQ(DateTexts(kGerman).Text(midnight.toSecsSinceEpoch()), "29.02.20");
}

TEST(DateTexts, TimeFormatLosesOnlyTheZone) {
    EXPECT_EQ(LongTimeWithoutZone(kUs), "h:mm:ss AP");
    EXPECT_EQ(LongTimeWithoutZone(kGerman), "HH:mm:ss");
    EXPECT_FALSE(LongTimeWithoutZone(QLocale(QLocale::Japanese)).contains('t'));
}

TEST(FileTypeNames, FallsBackToTheExtensionAndIgnoresItsCase) {
    FileTypeNames names;
    EXPECT_EQ(names.Describe("survey.qxzzv"), "QXZZV File");
    EXPECT_EQ(names.Describe("README"), "File");
    EXPECT_EQ(names.Describe("trailing."), "File");
    EXPECT_EQ(names.Describe("A.DWG"), names.Describe("b.dwg"));
    // The description belongs to the last extension only.
    EXPECT_EQ(names.Describe("plan.tar.qxzzv"), "QXZZV File");
}

TEST(FileTypeNames, KnownTypesGetTheDatabasesDescription) {
    const QMimeType dwg = QMimeDatabase().mimeTypeForName("image/vnd.dwg");
    if (!dwg.isValid()) {
        GTEST_SKIP() << "the type database does not know DWG";
    }
    FileTypeNames names;
    EXPECT_EQ(names.Describe("plan.DWG"), dwg.comment());
    EXPECT_NE(names.Describe("plan.DWG"), "DWG File");
}

}  // namespace
