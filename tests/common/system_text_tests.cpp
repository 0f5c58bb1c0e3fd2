#include <gtest/gtest.h>
#include "box_answerer.h"
#include "system_text.h"
#include <string>

namespace {

// The system's words, with the file in place of "%1"; a number where the
// system has no words, or they do not fit; nothing past the buffer.
TEST(SystemErrorText, GivesTheSystemsWordsOrTheNumber)
{
    const DWORD dwNoWords = 0x20001234;  // a code of a customer's own
    const std::string badFormat = SystemText(ERROR_BAD_EXE_FORMAT);
    ASSERT_NE(std::string::npos, badFormat.find("%1"));
    auto naming = [&](const std::string& file) {
        return std::string(badFormat).replace(badFormat.find("%1"), 2, file);
    };
    const struct
    {
        DWORD dwError;
        const char* szFile;
        int cchText;
        std::string text;
    } cases[] = {
        {ERROR_FILE_NOT_FOUND, NULL, 512, SystemText(ERROR_FILE_NOT_FOUND)},
        {ERROR_BAD_EXE_FORMAT, "C:\\x.exe", 512, naming("C:\\x.exe")},
        {ERROR_BAD_EXE_FORMAT, NULL, 512, naming("the file")},
        {ERROR_BAD_EXE_FORMAT, "C:\\x.exe", (int)badFormat.size() + 7, naming("C:\\x.exe")},
        {ERROR_BAD_EXE_FORMAT, "C:\\x.exe", (int)badFormat.size() + 6, "System error 193."},
        {dwNoWords, NULL, 512, "System error 536875572."},
        {dwNoWords, NULL, 10, "System er"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.text);
        std::string buffer(c.cchText + 8, '#');
        EXPECT_EQ(&buffer[0], SystemErrorText(c.dwError, c.szFile, &buffer[0], c.cchText));
        EXPECT_EQ(c.text, std::string(buffer.c_str()));
        EXPECT_EQ(std::string(8, '#'), buffer.substr(c.cchText)) << "written past the buffer";
    }
}

}  // namespace
