#include <gtest/gtest.h>

#include "QtPrinters.h"

#include "search/RowTexts.h"

using namespace vx::search;

namespace {

const QLocale kUs(QLocale::English, QLocale::UnitedStates);
const QLocale kDe(QLocale::German, QLocale::Germany);

TEST(SizeText, KilobytesToOneDecimalTiesToEvenInTheLocalesFormWithoutGrouping) {
    using R = std::tuple<std::int64_t, const QLocale&, const char*>;
    const R cases[] = {{51, kUs, "0 KB"},
                       {52, kUs, "0.1 KB"},
                       {256, kUs, "0.2 KB"},
                       {1023, kUs, "1 KB"},
                       {1048524, kUs, "1023.9 KB"},
                       {5368709120LL, kUs, "5242880 KB"},
                       {12800512, kDe, "12500,5 KB"}};
    for (const auto& [bytes, locale, text] : cases) {
        EXPECT_EQ(SizeText(bytes, locale), text) << bytes;
    }
}

TEST(DateTexts, ShortDateAndLongTimeWithoutZoneAndMidnightAsTheDateOnly) {
    const QDateTime afternoon(QDate(2021, 6, 15), QTime(13, 4, 5));
    const QDateTime midnight(QDate(2020, 2, 29), QTime(0, 0, 0));
    EXPECT_EQ(DateTexts(kUs).Text(afternoon), "6/15/21 1:04:05 PM");
    EXPECT_EQ(DateTexts(kDe).Text(afternoon), "15.06.21 13:04:05");
    EXPECT_EQ(DateTexts(kDe).Text(midnight.toSecsSinceEpoch()), "29.02.20");
    EXPECT_FALSE(LongTimeWithoutZone(QLocale(QLocale::Japanese)).contains('t'));
}

TEST(FileTypeNames, KnownTypesGetTheDatabasesDescriptionOthersTheirLastExtension) {
    FileTypeNames names;
    EXPECT_EQ(names.Describe("survey.qxzzv"), "QXZZV File");
    EXPECT_EQ(names.Describe("README"), "File");
    EXPECT_EQ(names.Describe("A.DWG"), names.Describe("b.dwg"));
}

}  // namespace
