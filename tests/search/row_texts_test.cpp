#include <gtest/gtest.h>

#include "QtPrinters.h"

#include <QMimeDatabase>

#include "search/RowTexts.h"

using namespace vx::search;

namespace {

const QLocale kUs(QLocale::English, QLocale::UnitedStates);
const QLocale kDe(QLocale::German, QLocale::Germany);

TEST(SizeText, KilobytesToOneDecimalTiesToEvenInTheLocalesFormWithoutGrouping) {
    using R = std::tuple<std::int64_t, const QLocale&, const char*>;
    const R cases[] = {
        {0, kUs, "0 KB"},          {51, kUs, "0 KB"},          {52, kUs, "0.1 KB"},
        {256, kUs, "0.2 KB"},      {768, kUs, "0.8 KB"},       {1023, kUs, "1 KB"},
        {1024, kUs, "1 KB"},       {1280, kUs, "1.2 KB"},      {1536, kUs, "1.5 KB"},
        {1792, kUs, "1.8 KB"},     {2304, kUs, "2.2 KB"},      {10240, kUs, "10 KB"},
        {1048576, kUs, "1024 KB"}, {1048525, kUs, "1024 KB"},  {1048524, kUs, "1023.9 KB"},
        {256, kDe, "0,2 KB"},      {12800000, kDe, "12500 KB"}};
    for (const auto& [bytes, locale, text] : cases) {
        EXPECT_EQ(SizeText(bytes, locale), text) << bytes;
    }
    EXPECT_EQ(SizeText(5368709120LL, kUs), "5242880 KB");
    EXPECT_EQ(SizeText(12800512, kDe), "12500,5 KB");
}

TEST(DateTexts, ShortDateAndLongTimeWithoutZoneAndMidnightAsTheDateOnly) {
    const QDateTime afternoon(QDate(2021, 6, 15), QTime(13, 4, 5));
    const QDateTime morning(QDate(2021, 6, 15), QTime(0, 0, 1));
    const QDateTime midnight(QDate(2020, 2, 29), QTime(0, 0, 0));
    EXPECT_EQ(DateTexts(kUs).Text(afternoon), "6/15/21 1:04:05 PM");
    EXPECT_EQ(DateTexts(kDe).Text(afternoon), "15.06.21 13:04:05");
    EXPECT_EQ(DateTexts(kDe).Text(morning), "15.06.21 00:00:01");
    EXPECT_EQ(DateTexts(kUs).Text(midnight), "2/29/20");
    EXPECT_EQ(DateTexts(kDe).Text(midnight.toSecsSinceEpoch()), "29.02.20");
    EXPECT_EQ(LongTimeWithoutZone(kUs), "h:mm:ss AP");
    EXPECT_EQ(LongTimeWithoutZone(kDe), "HH:mm:ss");
    EXPECT_FALSE(LongTimeWithoutZone(QLocale(QLocale::Japanese)).contains('t'));
}

TEST(FileTypeNames, KnownTypesGetTheDatabasesDescriptionOthersTheirLastExtension) {
    FileTypeNames names;
    EXPECT_EQ(names.Describe("survey.qxzzv"), "QXZZV File");
    EXPECT_EQ(names.Describe("plan.tar.qxzzv"), "QXZZV File");
    EXPECT_EQ(names.Describe("README"), "File");
    EXPECT_EQ(names.Describe("trailing."), "File");
    EXPECT_EQ(names.Describe("A.DWG"), names.Describe("b.dwg"));
    const QMimeType dwg = QMimeDatabase().mimeTypeForName("image/vnd.dwg");
    if (!dwg.isValid()) {
        GTEST_SKIP() << "the type database does not know DWG";
    }
    EXPECT_EQ(names.Describe("plan.DWG"), dwg.comment());
    EXPECT_NE(names.Describe("plan.DWG"), "DWG File");
}

}  // namespace
