// The Windows platform services on the system itself: registry values of every kind,
// keys that refuse write access, files and folders, starting a program, and the HTML
// help viewer's commands.
#include <windows.h>

#include <sddl.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <thread>

#include "app/win/WinPlatform.h"
#include "app/win/WinText.h"

using namespace vx::app;
using namespace vx::app::win;
using ::testing::ElementsAre;

namespace {

constexpr wchar_t kTestKey[] = L"Software\\Vormex Tests\\Registry";
constexpr char kTestKeyName[] = "Software\\Vormex Tests\\Registry";

void SetValue(const wchar_t* name, DWORD type, const void* data, DWORD size) {
    ASSERT_EQ(RegSetKeyValueW(HKEY_CURRENT_USER, kTestKey, name, type, data, size), ERROR_SUCCESS);
}

struct RegistryTest : ::testing::Test {
    WinRegistryReader reader;
    void SetUp() override { RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Vormex Tests"); }
    void TearDown() override { RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Vormex Tests"); }

    // GetKeyValue's result and value as one text, e.g. "true:abc" or "false:".
    std::string Read(const std::string& valueName, const std::string& key = kTestKeyName,
                     RegistryRoot root = RegistryRoot::CurrentUser) {
        std::string value = "left over";
        const bool ok = reader.GetKeyValue(root, key, valueName, value);
        return (ok ? "true:" : "false:") + value;
    }
};

TEST_F(RegistryTest, ReadsTextsAsTheyStandAndNumbersAsTheirDecimalText) {
    const wchar_t unterminated[] = {L'a', L'b', L'c'};
    SetValue(L"Bare", REG_SZ, unterminated, sizeof unterminated);
    EXPECT_EQ(Read("Bare"), "true:abc");

    const std::wstring word = L"Zeichnungen Büro ±";
    SetValue(L"Wide", REG_SZ, word.c_str(), static_cast<DWORD>((word.size() + 1) * 2));
    EXPECT_EQ(Read("Wide"), "true:" + Narrow(word));
    // A zero byte inside (256 is 00 01 00 00) and the top of the range.
    for (const DWORD number : {DWORD{256}, DWORD{0xFFFFFFFF}}) {
        SetValue(L"Number", REG_DWORD, &number, sizeof number);
        EXPECT_EQ(Read("Number"), "true:" + std::to_string(number));
    }
}

TEST_F(RegistryTest, WhatCannotBeReadGivesFalseAndAnEmptyValue) {
    const BYTE bytes[] = {1, 2, 3};
    SetValue(L"Binary", REG_BINARY, bytes, sizeof bytes);
    const std::wstring longText(600, L'x');  // 1202 bytes: more than the reader takes
    SetValue(L"Long", REG_SZ, longText.c_str(), static_cast<DWORD>((longText.size() + 1) * 2));

    EXPECT_EQ(Read("Binary"), "false:");
    EXPECT_EQ(Read("Long"), "false:");
    EXPECT_EQ(Read("PATH", "Software\\Vormex Tests\\No Such Key"), "false:");
}

TEST_F(RegistryTest, ReadsAKeyThatRefusesWriteAccess) {
    const wchar_t value[] = L"C:\\Windows\\System32";
    SetValue(L"MSINFO", REG_SZ, value, sizeof value);
    // Everyone may read the key, nobody may write it: as local-machine keys are for a
    // user without administrator rights.
    PSECURITY_DESCRIPTOR readOnly = nullptr;
    ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorW(
        L"D:P(A;;KR;;;WD)", SDDL_REVISION_1, &readOnly, nullptr));
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, kTestKey, 0, WRITE_DAC, &key), ERROR_SUCCESS);
    ASSERT_EQ(RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, readOnly), ERROR_SUCCESS);
    RegCloseKey(key);
    LocalFree(readOnly);

    HKEY full = nullptr;
    const LONG refused = RegOpenKeyExW(HKEY_CURRENT_USER, kTestKey, 0, 0x2003F, &full);
    if (refused == ERROR_SUCCESS) {
        RegCloseKey(full);
    }
    ASSERT_EQ(refused, ERROR_ACCESS_DENIED) << "the key must refuse full access for this test";
    EXPECT_EQ(Read("MSINFO"), "true:C:\\Windows\\System32");
}

TEST_F(RegistryTest, ReadsTheLocalMachineRoot) {
    std::string root;
    ASSERT_TRUE(reader.GetKeyValue(RegistryRoot::LocalMachine,
                                   "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion", "SystemRoot",
                                   root));
    EXPECT_TRUE(std::filesystem::is_directory(std::filesystem::path(Widen(root)))) << root;
}

TEST(ProgramLauncher, TellsFilesFromFoldersAndStartsAProgramWithItsArguments) {
    WinProgramLauncher launcher;
    wchar_t own[MAX_PATH];
    GetModuleFileNameW(nullptr, own, MAX_PATH);
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    EXPECT_TRUE(launcher.FileExists(Narrow(own)));
    EXPECT_FALSE(launcher.FileExists(Narrow(temp)));

    const auto marker = std::filesystem::path(temp) / L"vormex-launcher-marker.txt";
    std::filesystem::remove(marker);
    const std::string command = "cmd.exe /c echo started> \"" + Narrow(marker.wstring()) + "\"";
    ASSERT_TRUE(launcher.Start(command));
    // The program runs on its own; wait for its mark (bounded, not a speed check).
    for (int i = 0; i < 300 && !std::filesystem::exists(marker); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    EXPECT_TRUE(std::filesystem::exists(marker));
    std::filesystem::remove(marker);

    EXPECT_FALSE(launcher.Start("C:\\no\\such\\program.exe"));
}

// What the help viewer was asked, recorded by a stand-in for HtmlHelpW.
std::vector<std::string> helpCalls;

HWND WINAPI RecordHelp(HWND owner, LPCWSTR file, UINT command, DWORD_PTR data) {
    helpCalls.push_back(std::to_string(reinterpret_cast<std::uintptr_t>(owner)) + " " +
                        (file ? Narrow(file) : std::string("(none)")) + " " +
                        std::to_string(command) + " " + std::to_string(data));
    return nullptr;
}

TEST(HtmlHelpViewer, DisplaysTheTopicForItsOwnerAndClosesOnlyWhatItOpened) {
    helpCalls.clear();
    HtmlHelpViewer viewer(&RecordHelp);
    viewer.CloseAll();  // no help was shown, nothing to close
    viewer.DisplayTopic(0x1234, "C:\\Program Files\\Vormex\\help.chm");
    viewer.CloseAll();
    viewer.CloseAll();
    EXPECT_THAT(helpCalls,
                ElementsAre("4660 C:\\Program Files\\Vormex\\help.chm 0 0", "4660 (none) 18 0"));
}

TEST(HtmlHelpViewer, FindsTheSystemsViewer) {
    HtmlHelpViewer viewer;
    EXPECT_TRUE(viewer.Available());
}

}  // namespace
