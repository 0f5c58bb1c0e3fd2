// The built templates and version resource, read back from this program's
// resources (the same script the DLL is built from) and compared with the
// tables the dialogs are drawn from.
#include <gtest/gtest.h>
#include "resource.h"
#include <windows.h>
#include <string>
#include <vector>

namespace {

struct ItemRow
{
    int id;
    WORD wClass;          // predefined class ordinal
    const char* text;
    short x, y, cx, cy;
    DWORD style;
};

const WORD BUTTON = 0x0080, EDIT = 0x0081, LISTBOX = 0x0083;

const ItemRow definitionItems[] = {
    {1010, EDIT, "", 10, 10, 150, 15, 0x50810080},
    {1005, EDIT, "", 10, 45, 190, 15, 0x50810080},
    {1006, BUTTON, "Browse...", 205, 45, 40, 15, 0x50010000},
    {1008, EDIT, "", 10, 85, 190, 15, 0x50810080},
    {1007, BUTTON, "Browse...", 205, 85, 40, 14, 0x50010000},
    {1001, BUTTON, "Prevent the message from opening", 15, 130, 125, 10, 0x50010003},
    {1002, BUTTON, "Prompt for a confirmation first", 15, 145, 107, 10, 0x50010003},
    {1009, BUTTON, "Debug", 15, 160, 37, 10, 0x50010003},
    {1013, BUTTON, "OK", 45, 190, 50, 14, 0x50010001},
    {1014, BUTTON, "Cancel", 105, 190, 50, 14, 0x50010000},
    {0xFFFF, BUTTON, "Message Handler Name", 5, 0, 160, 30, 0x50000007},
    {0xFFFF, BUTTON, "Messages sent from the following email address", 5, 35, 245, 30, 0x50000007},
    {0xFFFF, BUTTON, "Should be handled by the following application", 5, 70, 245, 35, 0x50000007},
    {0xFFFF, BUTTON, "When processing the message", 7, 114, 143, 61, 0x50000007},
    {1015, BUTTON, "Help", 165, 190, 50, 14, 0x50010000},
};

const ItemRow handlersItems[] = {
    {1011, LISTBOX, "", 10, 15, 150, 80, 0x50A10101},
    {0xFFFF, BUTTON, "Current Message Handlers", 5, 5, 160, 95, 0x50000007},
    {1012, BUTTON, "A&dd...", 5, 105, 50, 14, 0x50010000},
    {1013, BUTTON, "R&emove", 60, 105, 50, 14, 0x50010000},
    {1014, BUTTON, "&Properties...", 115, 105, 50, 14, 0x50010001},
};

struct TemplateRow
{
    int id;
    const char* caption;
    DWORD style;
    short cx, cy;
    const ItemRow* items;
    size_t cItems;
};

const TemplateRow templates[] = {
    {IDD_HANDLER_DEFINITION, "Message Handler Definition", 0x10C80850, 257, 213, definitionItems,
     sizeof(definitionItems) / sizeof(definitionItems[0])},
    {IDD_MESSAGE_HANDLERS, "Message Handlers", 0x80C800C0, 172, 127, handlersItems,
     sizeof(handlersItems) / sizeof(handlersItems[0])},
};

// Reads a classic template field by field, as the dialog manager does.
class TemplateReader
{
public:
    TemplateReader(const BYTE* pb, DWORD cb) : m_pb(pb), m_cb(cb), m_off(0) {}

    bool ok() const { return m_off <= m_cb; }
    WORD Word() { WORD w = 0; Read(&w, 2); return w; }
    DWORD Dword() { DWORD d = 0; Read(&d, 4); return d; }
    short Short() { return (short)Word(); }
    void AlignDword() { m_off = (m_off + 3) & ~3u; }

    // sz_Or_Ord: 0x0000 none, 0xFFFF then an ordinal, or UTF-16 text.
    std::string TextOrOrdinal(WORD* pwOrdinal)
    {
        *pwOrdinal = 0;
        WORD w = Word();
        if (w == 0xFFFF)
        {
            *pwOrdinal = Word();
            return "";
        }
        std::string s;
        while (w != 0 && ok())
        {
            s += w < 0x80 ? (char)w : '?';
            w = Word();
        }
        return s;
    }
    std::string Text()
    {
        WORD wOrdinal;
        std::string s = TextOrOrdinal(&wOrdinal);
        EXPECT_EQ(0, wOrdinal) << "an ordinal where text belongs";
        return s;
    }

private:
    void Read(void* pv, DWORD cb)
    {
        if (m_off + cb <= m_cb)
            memcpy(pv, m_pb + m_off, cb);
        m_off += cb;
    }
    const BYTE* m_pb;
    DWORD m_cb;
    DWORD m_off;
};

TEST(DialogTemplates, MatchTheirTablesByteForByte)
{
    for (const TemplateRow& t : templates)
    {
        SCOPED_TRACE(t.caption);
        HRSRC hrsrc = FindResourceExA(NULL, (LPCSTR)RT_DIALOG, MAKEINTRESOURCEA(t.id),
                                      MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US));
        ASSERT_NE(nullptr, hrsrc) << "no U.S. English dialog " << t.id;
        const BYTE* pb = (const BYTE*)LockResource(LoadResource(NULL, hrsrc));
        TemplateReader r(pb, SizeofResource(NULL, hrsrc));

        DWORD dwStyle = r.Dword();
        ASSERT_NE(0xFFFF0001u, dwStyle) << "an extended template";
        EXPECT_EQ(t.style, dwStyle);
        EXPECT_EQ(0u, r.Dword()) << "extended style";
        WORD cdit = r.Word();
        EXPECT_EQ(0, r.Short());
        EXPECT_EQ(0, r.Short());
        EXPECT_EQ(t.cx, r.Short());
        EXPECT_EQ(t.cy, r.Short());
        WORD wOrdinal;
        EXPECT_EQ("", r.TextOrOrdinal(&wOrdinal)) << "menu";
        EXPECT_EQ(0, wOrdinal);
        EXPECT_EQ("", r.TextOrOrdinal(&wOrdinal)) << "class";
        EXPECT_EQ(0, wOrdinal);
        EXPECT_EQ(t.caption, r.Text());
        EXPECT_EQ(8, r.Word()) << "point size";
        EXPECT_EQ("MS Sans Serif", r.Text());

        ASSERT_EQ(t.cItems, cdit);
        for (size_t i = 0; i < t.cItems; i++)
        {
            const ItemRow& e = t.items[i];
            SCOPED_TRACE("control " + std::to_string(i + 1) + " " + e.text);
            r.AlignDword();
            EXPECT_EQ(e.style, r.Dword());
            EXPECT_EQ(0u, r.Dword()) << "extended style";
            EXPECT_EQ(e.x, r.Short());
            EXPECT_EQ(e.y, r.Short());
            EXPECT_EQ(e.cx, r.Short());
            EXPECT_EQ(e.cy, r.Short());
            EXPECT_EQ(e.id, r.Word());
            std::string className = r.TextOrOrdinal(&wOrdinal);
            EXPECT_EQ(e.wClass, wOrdinal) << "class stored as \"" << className << "\"";
            EXPECT_EQ(e.text, r.Text());
            EXPECT_EQ(0, r.Word()) << "creation data";
            ASSERT_TRUE(r.ok()) << "template ends early";
        }
    }
}

std::string VersionString(const std::vector<BYTE>& info, const char* szName)
{
    std::string path = std::string("\\StringFileInfo\\040904B0\\") + szName;
    char* psz = NULL;
    UINT cch = 0;
    if (!VerQueryValueA(info.data(), path.c_str(), (void**)&psz, &cch) || psz == NULL)
        return "<missing>";
    return psz;
}

TEST(VersionResource, IsOnePointTwoInUsEnglishUnicode)
{
    char szPath[MAX_PATH];
    GetModuleFileNameA(NULL, szPath, MAX_PATH);
    DWORD dwHandle = 0;
    DWORD cb = GetFileVersionInfoSizeA(szPath, &dwHandle);
    ASSERT_NE(0u, cb);
    std::vector<BYTE> info(cb);
    ASSERT_TRUE(GetFileVersionInfoA(szPath, 0, cb, info.data()));

    VS_FIXEDFILEINFO* pffi = NULL;
    UINT cbFfi = 0;
    ASSERT_TRUE(VerQueryValueA(info.data(), "\\", (void**)&pffi, &cbFfi));
    EXPECT_EQ(MAKELONG(2, 1), pffi->dwFileVersionMS);
    EXPECT_EQ(0u, pffi->dwFileVersionLS);
    EXPECT_EQ(MAKELONG(2, 1), pffi->dwProductVersionMS);
    EXPECT_EQ(0u, pffi->dwProductVersionLS);

    WORD* pwTranslation = NULL;
    UINT cbTranslation = 0;
    ASSERT_TRUE(VerQueryValueA(info.data(), "\\VarFileInfo\\Translation", (void**)&pwTranslation, &cbTranslation));
    ASSERT_EQ(4u, cbTranslation);
    EXPECT_EQ(0x0409, pwTranslation[0]);
    EXPECT_EQ(1200, pwTranslation[1]);

    EXPECT_EQ("Custom Property Sheet Extension for Exchange or Outlook", VersionString(info, "FileDescription"));
    EXPECT_EQ("1.2.0.0", VersionString(info, "FileVersion"));
    EXPECT_EQ("1.2.0.0", VersionString(info, "ProductVersion"));

    EXPECT_NE(nullptr, FindResourceExA(NULL, (LPCSTR)RT_VERSION, MAKEINTRESOURCEA(VS_VERSION_INFO),
                                       MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US)));
}

}  // namespace
