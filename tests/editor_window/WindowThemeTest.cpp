#include "editor/WindowTheme.h"

#include "WindowTestSupport.h"

#include <gtest/gtest.h>

#include <vector>

namespace talven::test {
namespace {

const wchar_t kPersonalizeKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Themes\\Personalize";
const wchar_t kValueName[] = L"AppsUseLightTheme";

// Sets "AppsUseLightTheme" of the current user (the test's Wine prefix) and
// puts back whatever was there before.
class ThemeSetting : public testing::Test {
protected:
    HKEY key = nullptr;
    bool hadValue = false;
    DWORD savedType = 0;
    std::vector<BYTE> savedData = std::vector<BYTE>(64);

    void SetUp() override
    {
        ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, kPersonalizeKey, 0, nullptr, 0, KEY_READ | KEY_WRITE, nullptr,
                                  &key, nullptr),
                  ERROR_SUCCESS);
        DWORD size = static_cast<DWORD>(savedData.size());
        hadValue = RegQueryValueExW(key, kValueName, nullptr, &savedType, savedData.data(), &size) == ERROR_SUCCESS;
        savedData.resize(size);
    }

    void TearDown() override
    {
        if (hadValue)
            RegSetValueExW(key, kValueName, 0, savedType, savedData.data(), static_cast<DWORD>(savedData.size()));
        else
            RegDeleteValueW(key, kValueName);
        RegCloseKey(key);
    }

    void set(DWORD type, const void* data, DWORD size)
    {
        ASSERT_EQ(RegSetValueExW(key, kValueName, 0, type, static_cast<const BYTE*>(data), size), ERROR_SUCCESS);
    }
};

TEST_F(ThemeSetting, OnlyAFourByteZeroChoosesTheDarkTitleBar)
{
    const DWORD zero = 0;
    const DWORD one = 1;
    const unsigned long long wideZero = 0;
    const unsigned short shortZero = 0;

    set(REG_DWORD, &zero, sizeof(zero));
    EXPECT_TRUE(userPrefersDarkApps());
    set(REG_DWORD, &one, sizeof(one));
    EXPECT_FALSE(userPrefersDarkApps());
    set(REG_QWORD, &wideZero, sizeof(wideZero));
    EXPECT_FALSE(userPrefersDarkApps()) << "8 bytes do not fit the 4-byte read";
    set(REG_BINARY, &shortZero, sizeof(shortZero));
    EXPECT_FALSE(userPrefersDarkApps()) << "2 bytes are not a 4-byte value";
    RegDeleteValueW(key, kValueName);
    EXPECT_FALSE(userPrefersDarkApps());
}

TEST_F(ThemeSetting, WindowsAreCreatedAndFollowSettingChangesInEitherTheme)
{
    const DWORD zero = 0;
    set(REG_DWORD, &zero, sizeof(zero));
    TestWindow dark;
    ASSERT_TRUE(dark.window);
    RegDeleteValueW(key, kValueName);
    TestWindow light;
    ASSERT_TRUE(light.window);

    // Linked and cut-off windows alike take the change and pass it on.
    SendMessageW(light.hwnd, WM_CLOSE, 0, 0);
    EXPECT_EQ(SendMessageW(dark.hwnd, WM_SETTINGCHANGE, 0, 0), 0);
    EXPECT_EQ(SendMessageW(light.hwnd, WM_SETTINGCHANGE, 0, 0), 0);
    EXPECT_TRUE(IsWindow(dark.hwnd) && IsWindow(light.hwnd));
}

} // namespace
} // namespace talven::test
