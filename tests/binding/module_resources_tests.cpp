// What the built DLL carries besides code: the two dialog templates, in
// U.S. English, and the version resource that Explorer and installers read.
#include "quorbit_dll.h"
#include <gtest/gtest.h>
#include <vector>

namespace {

TEST(ModuleResources, BothDialogTemplatesInUSEnglish)
{
    const WORD templates[] = {101, 102};
    for (WORD id : templates)
    {
        SCOPED_TRACE(id);
        HRSRC hRes = FindResourceExA(QuorbitModule(), (LPCSTR)RT_DIALOG, MAKEINTRESOURCEA(id),
                                     MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US));
        ASSERT_NE(hRes, nullptr);
        // A classic template: style first, not the extended signature.
        const DLGTEMPLATE* pTemplate = (const DLGTEMPLATE*)LockResource(LoadResource(QuorbitModule(), hRes));
        ASSERT_NE(pTemplate, nullptr);
        EXPECT_NE(HIWORD(pTemplate->style), 0xFFFF);
    }
    EXPECT_EQ(FindResourceA(QuorbitModule(), MAKEINTRESOURCEA(103), (LPCSTR)RT_DIALOG), nullptr);
}

TEST(ModuleResources, VersionOneTwoZeroZeroInUSEnglishUnicode)
{
    std::string path = QuorbitPath();
    DWORD dwHandle = 0;
    DWORD cb = GetFileVersionInfoSizeA(path.c_str(), &dwHandle);
    ASSERT_GT(cb, 0u);
    std::vector<BYTE> info(cb);
    ASSERT_TRUE(GetFileVersionInfoA(path.c_str(), 0, cb, info.data()));

    VS_FIXEDFILEINFO* pFixed = NULL;
    UINT cbFixed = 0;
    ASSERT_TRUE(VerQueryValueA(info.data(), "\\", (void**)&pFixed, &cbFixed));
    EXPECT_EQ(pFixed->dwFileVersionMS, 0x00010002u);
    EXPECT_EQ(pFixed->dwFileVersionLS, 0u);
    EXPECT_EQ(pFixed->dwProductVersionMS, 0x00010002u);
    EXPECT_EQ(pFixed->dwProductVersionLS, 0u);
    EXPECT_EQ(pFixed->dwFileType, (DWORD)VFT_DLL);

    WORD* pTranslation = NULL;
    UINT cbTranslation = 0;
    ASSERT_TRUE(VerQueryValueA(info.data(), "\\VarFileInfo\\Translation", (void**)&pTranslation, &cbTranslation));
    ASSERT_EQ(cbTranslation, 4u);
    EXPECT_EQ(pTranslation[0], 0x0409);
    EXPECT_EQ(pTranslation[1], 1200);

    char* pszVersion = NULL;
    UINT cchVersion = 0;
    ASSERT_TRUE(VerQueryValueA(info.data(), "\\StringFileInfo\\040904B0\\FileVersion", (void**)&pszVersion,
                               &cchVersion));
    EXPECT_STREQ(pszVersion, "1.2.0.0");
    ASSERT_TRUE(VerQueryValueA(info.data(), "\\StringFileInfo\\040904B0\\OriginalFilename", (void**)&pszVersion,
                               &cchVersion));
    EXPECT_STREQ(pszVersion, "Quorbit.dll");
}

}  // namespace
