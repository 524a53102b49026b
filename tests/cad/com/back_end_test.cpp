// The back end's registration and class activation (CoCreateInstance).
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "FakeCad.h"
#include "FakeCadServer.h"
#include "cad/com/ComBackEnd.h"

using namespace vx;
using namespace vx::cad;
using namespace vx::cad::com;
using ::testing::HasSubstr;
using vx::cad::com::testing::ErrorOf;
using vx::cad::com::testing::FakeCadFactory;
using vx::cad::com::testing::FakeCadServer;
using vx::cad::com::testing::kFakeCadClsid;

namespace {

TEST(BackEnd, AClassThatIsNotRegisteredLeavesTheNameToTheEngine) {
    ClassRegistry registry;
    EXPECT_FALSE(RegisterComBackEnd(registry, "Vormex.NoSuchClass.1"));
    EXPECT_FALSE(registry.IsRegistered(kCadClassName));
}

TEST(BackEnd, CreateObjectStartsAnInstanceThroughTheClassFactory) {
    fake::FakeCad cad;
    FakeCadServer server(cad);
    ComAutomationClass cls("Vormex.TestCad.1", kFakeCadClsid);
    EXPECT_THAT(ErrorOf([&] { cls.CreateObject(); }),
                HasSubstr("Vormex.TestCad.1 could not be started: "));

    FakeCadFactory factory(server);
    DWORD cookie = 0;
    ASSERT_EQ(CoRegisterClassObject(kFakeCadClsid, &factory, CLSCTX_LOCAL_SERVER,
                                    REGCLS_MULTIPLEUSE, &cookie),
              S_OK);
    {
        auto app = cls.CreateObject();
        app->SetVisible(true);
        EXPECT_EQ(app->Documents()->Count(), 0);
    }
    CoRevokeClassObject(cookie);
    EXPECT_EQ(factory.Created(), 1);
    EXPECT_THAT(cad.CallsWith("Application."), ::testing::Contains("Application.Visible = True"));
}

}  // namespace
