// Calls that return nothing go to the engine with the next call that waits: a failure of
// one is thrown by that call, which is left undone, and a crash or hang is told of the
// call under way. A program that comes as the last one quits gets an engine of its own.
#include <gmock/gmock.h>

#include "ProcessFixture.h"

namespace vx::testing {
namespace {

using ::testing::StartsWith;

using PipelineTest = ProcessFixture;

TEST_F(PipelineTest, AFailedCallThatDidNotWaitIsThrownByTheNextCallWhichIsLeftUndone) {
    Drawings({"a.dxf"});
    cad::ClassRegistry registry;
    engine::remote::RegisterRemoteEngine(registry, Options());
    auto app = registry.CreateObject(cad::kCadClassName);
    auto doc = app->Documents()->Open((work / "a.dxf").string(), true);
    const std::int32_t before = doc->GetVariable("BACKGROUNDPLOT");
    doc->Regen(99);
    try {
        doc->SetVariable("BACKGROUNDPLOT", before == 0 ? 2 : 0);
        ADD_FAILURE() << "the failed regeneration was not reported";
    } catch (const cad::CadError& e) {
        EXPECT_EQ(e.Description(), "Invalid argument to Regen: 99.");
    }
    EXPECT_EQ(doc->GetVariable("BACKGROUNDPLOT"), before);
    app->Quit();
}

// The regeneration before the opening answers; the opening is what the engine was doing.
TEST_F(PipelineTest, ACrashOrHangIsToldOfTheCallUnderWay) {
    const struct {
        const char* name;
        const char* failure;
    } cases[] = {
        {"crash-a.dxf", "the CAD engine crashed while opening "},
        {"hang-b.dxf", "the CAD engine stopped responding while opening "},
    };
    Drawings({"a.dxf", cases[0].name, cases[1].name});
    auto options = Options(true);
    options.limits.longSeconds = 2;
    cad::ClassRegistry registry;
    engine::remote::RegisterRemoteEngine(registry, options);
    auto app = registry.CreateObject(cad::kCadClassName);
    for (const auto& c : cases) {
        auto docs = app->Documents();
        docs->Open((work / "a.dxf").string(), true)->Regen(cad::kRegenAllViewports);
        try {
            docs->Open((work / c.name).string(), true);
            ADD_FAILURE() << c.name;
        } catch (const cad::CadFailure& e) {
            EXPECT_THAT(e.Description(), StartsWith(c.failure + (work / c.name).string()))
                << c.name;
        }
    }
    app->Quit();
}

TEST_F(PipelineTest, AProgramThatComesAsTheLastOneQuitsGetsAFreshEngine) {
    cad::ClassRegistry registry;
    engine::remote::RegisterRemoteEngine(registry, Options());
    for (int i = 0; i < 3; ++i) {
        auto app = registry.CreateObject(cad::kCadClassName);
        EXPECT_EQ(app->Documents()->Count(), 0) << i;
        app->Quit();
    }
}

}  // namespace
}  // namespace vx::testing
