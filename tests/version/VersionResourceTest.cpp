// talven.dll's version resource, read with the calls Windows Explorer uses:
// the numbers must be the project's version, the texts the build's own.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace {

// talven.dll lies beside every test program of the tree.
std::wstring libraryPath()
{
    std::wstring path(MAX_PATH, L'\0');
    const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    path.resize(length);
    return path.substr(0, path.find_last_of(L"\\/") + 1) + L"talven.dll";
}

std::vector<std::uint8_t> readVersionInfo()
{
    const std::wstring path = libraryPath();
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
    std::vector<std::uint8_t> block(size);
    if (size == 0 || !GetFileVersionInfoW(path.c_str(), 0, size, block.data()))
        block.clear();
    return block;
}

std::wstring stringValue(std::vector<std::uint8_t>& block, const std::wstring& name)
{
    void* value = nullptr;
    UINT length = 0;
    const std::wstring query = L"\\StringFileInfo\\040904B0\\" + name;
    if (!VerQueryValueW(block.data(), query.c_str(), &value, &length) || length == 0)
        return L"(missing)";
    return std::wstring(static_cast<const wchar_t*>(value));
}

std::string narrow(const std::wstring& text)
{
    return std::string(text.begin(), text.end());
}

TEST(VersionResource, LibraryCarriesTheProjectVersionInItsFixedFileInfo)
{
    std::vector<std::uint8_t> block = readVersionInfo();
    ASSERT_FALSE(block.empty()) << "talven.dll has no version resource";
    void* value = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(block.data(), L"\\", &value, &length));
    ASSERT_GE(length, sizeof(VS_FIXEDFILEINFO));
    const auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(value);
    EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
    EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_DLL));
    const DWORD high = MAKELONG(TALVEN_EXPECTED_MINOR, TALVEN_EXPECTED_MAJOR);
    const DWORD low = MAKELONG(TALVEN_EXPECTED_TWEAK, TALVEN_EXPECTED_PATCH);
    EXPECT_EQ(fixed->dwFileVersionMS, high);
    EXPECT_EQ(fixed->dwFileVersionLS, low);
    EXPECT_EQ(fixed->dwProductVersionMS, high);
    EXPECT_EQ(fixed->dwProductVersionLS, low);
}

TEST(VersionResource, LibraryNamesItsVersionProductAndCopyrightInItsTexts)
{
    struct Case {
        const wchar_t* name;
        const wchar_t* expected;
    };
    const Case cases[] = {
        {L"FileVersion", TALVEN_EXPECTED_VERSION},
        {L"ProductVersion", TALVEN_EXPECTED_VERSION},
        {L"ProductName", TALVEN_EXPECTED_PRODUCT},
        {L"FileDescription", TALVEN_EXPECTED_DESCRIPTION},
        {L"LegalCopyright", TALVEN_EXPECTED_COPYRIGHT},
        {L"OriginalFilename", L"talven.dll"},
    };
    std::vector<std::uint8_t> block = readVersionInfo();
    ASSERT_FALSE(block.empty()) << "talven.dll has no version resource";
    for (const Case& c : cases)
        EXPECT_EQ(narrow(stringValue(block, c.name)), narrow(c.expected)) << narrow(c.name);
}

} // namespace
