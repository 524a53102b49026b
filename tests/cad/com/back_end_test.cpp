// The back end's registration and the system's two ways to an instance: the running
// object table (GetActiveObject) and class activation (CoCreateInstance).
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

constexpr char kTestProgId[] = "Vormex.TestCad.1";

// Registers the test class's ProgID while it lives: for the current user, or for the
// machine where the system reads no per-user classes (Wine).
class ProgIdRegistration {
public:
    ProgIdRegistration() {
        for (HKEY root : {HKEY_CURRENT_USER, HKEY_CLASSES_ROOT}) {
            root_ = root;
            if (Write() && SUCCEEDED(CLSIDFromProgID(Widen(kTestProgId).c_str(), &clsid_))) {
                return;
            }
            Remove();
        }
        root_ = nullptr;
    }
    ~ProgIdRegistration() { Remove(); }
    bool Ok() const { return root_ != nullptr && clsid_ == kFakeCadClsid; }

private:
    std::wstring Key() const {
        return (root_ == HKEY_CURRENT_USER ? L"Software\\Classes\\" : L"") + Widen(kTestProgId);
    }
    bool Write() {
        wchar_t clsid[64];
        StringFromGUID2(kFakeCadClsid, clsid, 64);
        const DWORD size = static_cast<DWORD>((wcslen(clsid) + 1) * sizeof(wchar_t));
        return RegSetKeyValueW(root_, (Key() + L"\\CLSID").c_str(), nullptr, REG_SZ, clsid, size) ==
               ERROR_SUCCESS;
    }
    void Remove() {
        if (root_) {
            RegDeleteTreeW(root_, Key().c_str());
        }
    }
    HKEY root_ = nullptr;
    CLSID clsid_{};
};

struct BackEndTest : ::testing::Test {
    fake::FakeCad cad;
    std::unique_ptr<FakeCadServer> server = std::make_unique<FakeCadServer>(cad);
    ClassRegistry registry;
};

TEST_F(BackEndTest, AClassThatIsNotRegisteredLeavesTheNameToTheEngine) {
    EXPECT_FALSE(RegisterComBackEnd(registry, "Vormex.NoSuchClass.1"));
    EXPECT_FALSE(registry.IsRegistered(kCadClassName));

    CLSID clsid;
    const bool autocadHere = SUCCEEDED(CLSIDFromProgID(L"AutoCAD.Application", &clsid));
    EXPECT_EQ(RegisterComBackEnd(registry), autocadHere);
    EXPECT_EQ(registry.IsRegistered(kCadClassName), autocadHere);
}

TEST_F(BackEndTest, ARegisteredClassServesTheNameFromTheRunningObjectTable) {
    cad.OpenNow("C:\\jobs\\a.dwg");
    auto app = server->Application();
    DWORD cookie = 0;
    const HRESULT hr = RegisterActiveObject(app.Get(), kFakeCadClsid, ACTIVEOBJECT_STRONG, &cookie);
    if (FAILED(hr)) {
        GTEST_SKIP() << "no running object table here: " << DescribeResult(hr);
    }
    RevokeActiveObject(cookie, nullptr);

    ProgIdRegistration progId;
    ASSERT_TRUE(progId.Ok());
    ASSERT_TRUE(RegisterComBackEnd(registry, kTestProgId));
    ASSERT_TRUE(registry.IsRegistered(kCadClassName));

    const std::string none = ErrorOf([&] { registry.GetObject(kCadClassName); });
    EXPECT_THAT(none, HasSubstr("Vormex.TestCad.1 is not running: "));
    EXPECT_THAT(none, HasSubstr("0x800401E3"));

    ASSERT_EQ(RegisterActiveObject(app.Get(), kFakeCadClsid, ACTIVEOBJECT_STRONG, &cookie), S_OK);
    {
        auto running = registry.GetObject(kCadClassName);
        EXPECT_EQ(running->Application()->ActiveDocument()->Name(), "a.dwg");
    }
    RevokeActiveObject(cookie, nullptr);
    EXPECT_THAT(cad.Calls(), ::testing::Contains("Document[a.dwg].Name"));
}

TEST_F(BackEndTest, CreateObjectStartsAnInstanceThroughTheClassFactory) {
    ComAutomationClass cls(kTestProgId, kFakeCadClsid);
    const std::string missing = ErrorOf([&] { cls.CreateObject(); });
    EXPECT_THAT(missing, HasSubstr("Vormex.TestCad.1 could not be started: "));

    FakeCadFactory factory(*server);
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
