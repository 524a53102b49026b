// Plot file names from --output-dir and --name: templates refused, fields made safe, and
// names that never meet within a run nor take the name of a file the run read.
#include <gmock/gmock.h>

#include <QTemporaryDir>
#include <filesystem>
#include <fstream>
#include <future>
#include <thread>

#include "cli/OutputNames.h"

namespace vx::testing {
namespace {

using ::testing::HasSubstr;

struct Names : ::testing::Test {
    QTemporaryDir temp;
    std::string dir = temp.path().toStdString() + "/out";
    QString error;

    std::unique_ptr<cli::OutputNames> Make(const char* nameTemplate) {
        return cli::OutputNames::Make(QString::fromStdString(dir), QString::fromUtf8(nameTemplate),
                                      {"DWG To PDF.pc3", "ISO A4", "2026-03-01"}, error);
    }
    // The name relative to the output folder.
    std::string Rel(const std::string& name) const {
        return name.starts_with(dir + "/") ? name.substr(dir.size() + 1) : "outside: " + name;
    }
};

TEST_F(Names, TemplatesThatCannotNameAFileInsideTheFolderAreRefused) {
    const struct {
        const char* nameTemplate;
        const char* says;  // nullptr: taken
    } cases[] = {
        {"", nullptr},
        {"{folder}/{date}/{drawing}-{layout}", nullptr},
        {"/tmp/{drawing}", "inside the output folder"},
        {"\\{drawing}", "inside the output folder"},
        {"C:{drawing}", "inside the output folder"},
        {"../{drawing}", "climbs out"},
        {"a\\..\\..\\{drawing}", "climbs out"},
        {"{drawing}/", "ends with a folder"},
        {"{drawings}", "a field other than"},
        {"{drawing", "a field other than"},
        {"drawing}", "ends no field"},
    };
    for (const auto& c : cases) {
        error.clear();
        EXPECT_EQ(Make(c.nameTemplate) != nullptr, c.says == nullptr) << c.nameTemplate;
        EXPECT_THAT(error.toStdString(), HasSubstr(c.says ? c.says : "")) << c.nameTemplate;
    }
    std::ofstream(temp.path().toStdString() + "/file") << "x";
    EXPECT_EQ(cli::OutputNames::Make(temp.path() + "/file", {}, {}, error), nullptr);
    EXPECT_THAT(error.toStdString(), HasSubstr("is not a folder"));
}

TEST_F(Names, FieldsAreFilledAndMadeSafe) {
    const std::string root = temp.path().toStdString() + "/archive";
    const struct {
        const char* nameTemplate;
        std::string drawing, root, layout;
        const char* expected;
    } cases[] = {
        {"", root + "/a/plan.v2.dwg", root, "", "plan.v2.plt"},
        {"", root + "/a/plan.dwg", root, "Sheet 1", "plan-Sheet 1.plt"},
        {"{drawing}-{layout}", root + "/plan.dwg", root, "A/B\\C:*", "plan-A_B_C__.plt"},
        {"{layout}", root + "/plan.dwg", root, "", "Model.plt"},
        {"{folder}/{drawing}", root + "/a/b/plan.dwg", root, "", "a/b/plan.plt"},
        {"{folder}/{drawing}", root + "/a/plan.dwg", root + "/a", "", "plan.plt"},
        {"{folder}/{drawing}", root + "/a/plan.dwg", "", "", "plan.plt"},  // no root known
        {"{device}_{paper}/{date}/{drawing}", root + "/p.dxf", root, "",
         "DWG To PDF_ISO A4/2026-03-01/p.plt"},
        {"{layout}/{drawing}", root + "/p.dwg", root, "..", "__/p.plt"},
        {"{layout}/{drawing}", root + "/p.dwg", root, "end.", "end_/p.plt"},
        {"x/./{layout}", root + "/p.dwg", root, "CON", "x/_CON.plt"},
        {"{folder}", root + "/p.dwg", root, "", "_.plt"},
    };
    for (const auto& c : cases) {
        const auto names = Make(c.nameTemplate);
        ASSERT_TRUE(names) << error.toStdString();
        if (!c.root.empty()) {
            names->AddRoot(c.drawing, c.root);
        }
        EXPECT_EQ(Rel(names->Name(c.drawing, c.layout)), c.expected) << c.nameTemplate;
    }
    const std::string made = Make("{layout}")->Name("/d/p.dwg", std::string(300, 'x'));
    EXPECT_LE(std::filesystem::path(made).filename().string().size(), 255u);
}

TEST_F(Names, NoTwoPlotsShareANameNorTakeTheNameOfAFileTheRunRead) {
    const auto names = Make("{drawing}");
    names->AddRead(dir + "/report.json");
    names->AddRead(dir + "/Drawings.TXT");
    names->AddRead(dir + "/plan.dwg");  // a plot file never ends so
    const struct {
        std::string drawing;
        const char* expected;
    } cases[] = {
        {"/a/plan.dwg", "plan.plt"},           {"/b/plan.dxf", "plan-2.plt"},
        {"/c/PLAN.dwg", "PLAN-3.plt"},         {"/d/report.dwg", "report-2.plt"},
        {"/e/drawings.dwg", "drawings-2.plt"}, {"/f/plan-2.dwg", "plan-2-2.plt"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Rel(names->Name(c.drawing, "")), c.expected) << c.drawing;
    }
    EXPECT_THAT(names->RenamedOf("/b/plan.dxf"),
                ::testing::ElementsAre("plot file name plan was taken: named plan-2"));
    EXPECT_TRUE(names->RenamedOf("/a/plan.dwg").empty());

    // Plots named from several threads at once still get a name each.
    std::vector<std::string> given[4];
    std::vector<std::jthread> threads;
    for (auto& list : given) {
        threads.emplace_back([&] {
            for (int i = 0; i < 50; ++i) {
                list.push_back(names->Name("/g/sheet.dwg", ""));
            }
        });
    }
    threads.clear();
    std::set<std::string> distinct;
    for (const auto& list : given) {
        distinct.insert(list.begin(), list.end());
    }
    EXPECT_EQ(distinct.size(), 200u);
}

// Drawings plotted side by side get the names one job gives them (the earlier in the run
// the plain name), whichever asks first: a plot waits for an earlier drawing that may ask
// for its name, and for no other.
TEST_F(Names, DrawingsSideBySideAreNamedInTheRunsOrder) {
    const struct {
        const char* nameTemplate;
        std::string first, firstLayout, second, secondLayout;  // places 0 and 1 of the run
        bool waits;
        const char *firstName, *secondName;
    } cases[] = {
        {"{drawing}", "/x/plan.dwg", "", "/y/PLAN.dxf", "", true, "plan-2.plt", "PLAN-3.plt"},
        {"{drawing}", "/x/plan.dwg", "", "/y/site.dwg", "", false, "plan-2.plt", "site.plt"},
        {"{drawing}", "/x/plan.dwg", "", "/y/plan-2.dwg", "", true, "plan-2.plt", "plan-2-2.plt"},
        {"", "/x/a.dwg", "b-c", "/y/a-b.dwg", "c", true, "a-b-c.plt", "a-b-c-2.plt"},
        {"", "/x/a.dwg", "c", "/y/b.dwg", "c", false, "a-c.plt", "b-c.plt"},
        {"{layout}/{drawing}", "/x/a.dwg", "L", "/y/a.dwg", "L", true, "L/a.plt", "L/a-2.plt"},
    };
    for (const auto& c : cases) {
        const auto names = Make(c.nameTemplate);
        names->AddRead(dir + "/plan.txt");  // a file the run reads: no plot is named plan
        names->BeginDrawing(0, c.first, true);
        names->BeginDrawing(1, c.second, true);
        std::promise<std::string> second;
        std::future<std::string> secondName = second.get_future();
        std::jthread later([&] { second.set_value(names->Name(c.second, c.secondLayout, 1)); });
        EXPECT_EQ(
            secondName.wait_for(std::chrono::milliseconds(300)) == std::future_status::timeout,
            c.waits)
            << c.second;
        EXPECT_EQ(Rel(names->Name(c.first, c.firstLayout, 0)), c.firstName);
        names->EndDrawing(0);
        EXPECT_EQ(Rel(secondName.get()), c.secondName);
    }
}

}  // namespace
}  // namespace vx::testing
