// Late-bound calls by member name against the in-process server: the member id cache and
// the retry of calls rejected by a busy application.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "FakeCad.h"
#include "FakeCadServer.h"
#include "cad/com/Dispatch.h"

using namespace vx;
using namespace vx::cad;
using namespace vx::cad::com;
using ::testing::ElementsAre;
using ::testing::IsEmpty;
using vx::cad::com::testing::FakeCadServer;

namespace {

// Arguments in their order (a Variant is moved, not copied).
template <class... V>
std::vector<Variant> Args(V... values) {
    std::vector<Variant> v;
    (v.push_back(std::move(values)), ...);
    return v;
}

struct DispatchTest : ::testing::Test {
    fake::FakeCad cad;
    std::unique_ptr<FakeCadServer> server = std::make_unique<FakeCadServer>(cad);
    // A clock that moves only while the layer waits.
    DWORD clock = 0;
    std::vector<DWORD> waits;
    std::shared_ptr<Session> session = [this] {
        auto s = MakeSession(RetryPolicy(1000, 250));
        s->now = [this] { return clock; };
        s->wait = [this](DWORD ms) {
            waits.push_back(ms);
            clock += ms;
        };
        return s;
    }();

    Dispatch App() { return Dispatch(server->Application(), "Application", session); }
    Dispatch Child(Dispatch& parent, Variant v, const std::string& kind) {
        return parent.Child(ObjectOf(*v.Get(), kind), kind);
    }
    // Opens a drawing; one that the test did not script is an empty one.
    Dispatch OpenDrawing(const std::string& path) {
        cad.Drawing(path);
        auto app = App();
        auto docs = Child(app, app.Get("Documents"), "Documents");
        return Child(docs, docs.Call("Open", Args(Variant::Text(path), Variant::Boolean(true))),
                     "Document");
    }

    void TearDown() override {
        EXPECT_THAT(server->Outstanding(), IsEmpty());
        EXPECT_THAT(server->OverReleased(), IsEmpty());
    }
};

TEST_F(DispatchTest, AsksForEachMemberIdOncePerKindOfObject) {
    cad.Drawing("C:\\jobs\\a.dwg").Layouts({"A"});
    auto doc = OpenDrawing("C:\\jobs\\a.dwg");
    auto layouts = Child(doc, doc.Get("Layouts"), "Layouts");
    std::vector<std::string> names;
    for (std::int32_t i = 0; i < 2; ++i) {
        auto layout = Child(layouts, layouts.Call("Item", Args(Variant::Int32(i))), "Layout");
        names.push_back(TextOf(*layout.Get("Name").Get(), "Name"));
    }
    EXPECT_THAT(names, ElementsAre("Model", "A"));
    EXPECT_EQ(server->IdLookups("Layout.Name"), 1);
    // An equal name on another kind has an id of its own.
    auto space = Child(doc, doc.Get("ModelSpace"), "Block");
    EXPECT_EQ(TextOf(*space.Get("Name").Get(), "Name"), "*Model_Space");
}

TEST_F(DispatchTest, RetriesARejectedCallUntilItRunsOnce) {
    auto app = App();
    server->RejectNext(3);  // the name lookup once, then the call twice
    app.Put("Visible", Variant::Boolean(true));
    EXPECT_THAT(waits, ElementsAre(250, 250, 250));
    EXPECT_THAT(cad.CallsWith("Visible"), ElementsAre("Application.Visible = True"));
}

TEST_F(DispatchTest, GivesUpOnACallThatStaysRejectedAndSaysWhy) {
    auto app = App();
    app.Put("Visible", Variant::Boolean(false));  // its id is known from here on
    cad.ClearCalls();
    server->RejectNext(1000);
    try {
        app.Put("Visible", Variant::Boolean(true));
        ADD_FAILURE() << "the call must fail";
    } catch (const ComError& e) {
        EXPECT_EQ(e.Result(), RPC_E_CALL_REJECTED);
        EXPECT_EQ(e.Description(),
                  "The CAD application is busy: Application.Visible was rejected for 1.0 "
                  "seconds (RPC_E_CALL_REJECTED)");
    }
    server->RejectNext(0);
    EXPECT_THAT(waits, ElementsAre(250, 250, 250, 250));
    EXPECT_THAT(cad.CallsWith("Visible"), IsEmpty());
}

}  // namespace
