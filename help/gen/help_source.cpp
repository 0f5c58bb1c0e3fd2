#include "help_source.h"
#include "context_hash.h"
#include "help_file.h"
#include "html_help.h"
#include "keyword_index.h"
#include "topic_file.h"

#include <cstdio>
#include <map>
#include <set>
#include <sstream>

namespace {

// Where each source line of a paragraph starts in its joined text, and
// the line's number, so that a mistake is reported on its own line.
typedef std::vector<std::pair<size_t, int>> LineStarts;

struct Pending
{
    bool open = false;
    HelpParagraph::Style style = HelpParagraph::Body;
    std::string text;
    LineStarts lines;  // lines.front().second is the paragraph's first line
};

int LineAt(const LineStarts& lines, size_t offset)
{
    int line = lines.front().second;
    for (const auto& start : lines)
        if (start.first <= offset)
            line = start.second;
    return line;
}

std::string Trim(const std::string& s)
{
    size_t b = s.find_first_not_of(' ');
    if (b == std::string::npos)
        return "";
    size_t e = s.find_last_not_of(' ');
    return s.substr(b, e - b + 1);
}

bool StartsWith(const std::string& s, const char* prefix)
{
    return s.compare(0, std::char_traits<char>::length(prefix), prefix) == 0;
}

std::string At(int line, const std::string& why)
{
    return "line " + std::to_string(line) + ": " + why;
}

// A name for a message: the text in quotes, its start only when it is long.
std::string Quoted(const std::string& s)
{
    return "\"" + (s.size() > 40 ? s.substr(0, 40) + "..." : s) + "\"";
}

// The file is written in the viewer's single-byte code page; keeping to
// printable ASCII keeps it the same in every one. Names the first other
// byte of the line, with its column: a tab or a byte-order mark as such.
bool CheckPrintable(const std::string& line, int lineNo, std::string& error)
{
    for (size_t i = 0; i < line.size(); i++)
    {
        unsigned char c = static_cast<unsigned char>(line[i]);
        if (c >= 0x20 && c <= 0x7E)
            continue;
        std::string what;
        if (c == '\t')
            what = "a tab";
        else if (line.compare(i, 3, "\xEF\xBB\xBF") == 0)
            what = "a byte-order mark (EF BB BF)";
        else if (lineNo == 1 && i == 0 && (line.compare(0, 2, "\xFF\xFE") == 0 || line.compare(0, 2, "\xFE\xFF") == 0))
            what = "a UTF-16 byte-order mark";
        else
        {
            char hex[8];
            std::snprintf(hex, sizeof hex, "0x%02X", c);
            what = std::string("byte ") + hex;
        }
        error = "line " + std::to_string(lineNo) + ", column " + std::to_string(i + 1) + ": " + what +
                ": only printable ASCII characters are allowed";
        return false;
    }
    return true;
}

// The keywords of "K: one; two" after its "K:".
bool ParseKeywords(const std::string& s, int line, std::vector<std::string>& keywords, std::string& error)
{
    for (size_t start = 0;;)
    {
        size_t end = s.find(';', start);
        std::string keyword = Trim(s.substr(start, end == std::string::npos ? end : end - start));
        if (!IsValidKeyword(keyword))
        {
            error = At(line, keyword.empty() ? "empty keyword"
                                             : "keyword \"" + keyword + "\" may only use letters, digits, blanks"
                                                                        " and ! \" # $ % & ' ( ) * + , - . /");
            return false;
        }
        if (keyword.size() > MaxKeywordLength())
        {
            error = At(line, "keyword " + Quoted(keyword) + " is " + std::to_string(keyword.size()) +
                                 " bytes long, more than the " + std::to_string(MaxKeywordLength()) +
                                 " an index page takes");
            return false;
        }
        keywords.push_back(keyword);
        if (end == std::string::npos)
            return true;
        start = end + 1;
    }
}

// Splits inline markup into runs, and notes each jump's target with its
// line. A '[' starts a link only as [text](#context), the text running to
// the first ']' and holding no '['; any other '[' is plain text.
bool ParseRuns(const std::string& s, const LineStarts& lines, std::vector<HelpRun>& runs,
               std::vector<std::pair<std::string, int>>& jumps, std::string& error)
{
    std::string plain;
    bool bold = false;
    size_t boldAt = 0;
    auto flush = [&]() {
        if (!plain.empty())
            runs.push_back({bold ? HelpRun::Bold : HelpRun::Plain, plain, ""});
        plain.clear();
    };
    for (size_t i = 0; i < s.size();)
    {
        size_t mid = s[i] == '[' ? s.find_first_of("[]", i + 1) : std::string::npos;
        if (s.compare(i, 2, "**") == 0)
        {
            flush();
            bold = !bold;
            boldAt = i;
            i += 2;
        }
        else if (s[i] == '`')
        {
            size_t end = s.find('`', i + 1);
            if (end == std::string::npos)
            {
                error = At(LineAt(lines, i), "unclosed `");
                return false;
            }
            flush();
            runs.push_back({HelpRun::Literal, s.substr(i + 1, end - i - 1), ""});
            i = end + 1;
        }
        else if (mid != std::string::npos && s.compare(mid, 3, "](#") == 0)
        {
            size_t end = s.find(')', mid);
            if (end == std::string::npos)
            {
                error = At(LineAt(lines, i), "a link is written [text](#context)");
                return false;
            }
            flush();
            runs.push_back({HelpRun::Jump, s.substr(i + 1, mid - i - 1), s.substr(mid + 3, end - mid - 3)});
            jumps.push_back({runs.back().target, LineAt(lines, i)});
            i = end + 1;
        }
        else
        {
            plain += s[i];
            i++;
        }
    }
    if (bold)
    {
        error = At(LineAt(lines, boldAt), "unclosed **");
        return false;
    }
    flush();
    return true;
}

}

bool ParseHelpSource(const std::string& text, HelpSource& out, std::string& error)
{
    out = HelpSource();
    std::istringstream in(text);
    std::string line;
    int lineNo = 0;
    Pending pending;
    std::vector<std::pair<std::string, int>> jumps;  // target, line
    std::map<uint32_t, std::pair<std::string, int>> contexts;  // hash -> name, line
    bool topicHasText = false;  // past the lines right under the heading

    auto flush = [&]() -> bool {
        if (!pending.open)
            return true;
        pending.open = false;
        HelpParagraph para{pending.style, {}};
        std::string why;
        if (pending.style == HelpParagraph::Code)
            para.runs.push_back({HelpRun::Plain, pending.text, ""});
        else if (!ParseRuns(pending.text, pending.lines, para.runs, jumps, error))
            return false;
        if (!ParagraphFits(para, why))
        {
            error = At(pending.lines.front().second, why);
            return false;
        }
        out.topics.back().paragraphs.push_back(para);
        return true;
    };
    auto open = [&](HelpParagraph::Style style, const std::string& s) -> bool {
        if (out.topics.empty())
        {
            error = At(lineNo, "text before the first topic");
            return false;
        }
        topicHasText = true;
        pending.open = true;
        pending.style = style;
        pending.text = s;
        pending.lines.assign(1, {0, lineNo});
        return true;
    };

    while (std::getline(in, line))
    {
        lineNo++;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (!CheckPrintable(line, lineNo, error))
            return false;
        if (StartsWith(line, "//"))
            continue;
        if (Trim(line).empty())
        {
            if (!flush())
                return false;
            continue;
        }
        if (StartsWith(line, ".title "))
        {
            out.title = Trim(line.substr(7));
            std::string why;
            if (!CaptionFits(out.title, why) || !IsWritableCaption(out.title, why))
            {
                error = At(lineNo, why);
                return false;
            }
            continue;
        }
        if (StartsWith(line, "# "))
        {
            if (!flush())
                return false;
            std::string rest = Trim(line.substr(2));
            size_t brace = rest.rfind(" {#");
            if (brace == std::string::npos || rest.back() != '}')
            {
                error = At(lineNo, "a topic is written # Title {#context}");
                return false;
            }
            HelpTopic topic;
            topic.title = Trim(rest.substr(0, brace));
            topic.context = rest.substr(brace + 3, rest.size() - brace - 4);
            if (topic.title.size() > MaxTopicTitleLength())
            {
                error = At(lineNo, "topic title " + Quoted(topic.title) + " is " + std::to_string(topic.title.size()) +
                                       " bytes long, more than the " + std::to_string(MaxTopicTitleLength()) +
                                       " a title page takes");
                return false;
            }
            if (!IsValidContextName(topic.context))
            {
                error = At(lineNo, "context names use only A-Z, a-z, 0-9, '.' and '_'");
                return false;
            }
            // Jumps find topics by hash, so names must differ in hash.
            auto taken = contexts.insert({ContextHash(topic.context), {topic.context, lineNo}});
            if (!taken.second)
            {
                error = At(lineNo, "context " + topic.context + " clashes with {#" + taken.first->second.first +
                                       "} on line " + std::to_string(taken.first->second.second));
                return false;
            }
            topicHasText = false;
            topic.paragraphs.push_back({HelpParagraph::Title, {{HelpRun::Plain, topic.title, ""}}});
            out.topics.push_back(topic);
            continue;
        }
        if (StartsWith(line, "K:"))
        {
            if (out.topics.empty() || topicHasText)
            {
                error = At(lineNo, out.topics.empty() ? "keywords outside a topic"
                                                      : "keywords go right under the topic's heading");
                return false;
            }
            if (!ParseKeywords(line.substr(2), lineNo, out.topics.back().keywords, error))
                return false;
            continue;
        }
        if (StartsWith(line, "## "))
        {
            if (!flush() || !open(HelpParagraph::Heading, Trim(line.substr(3))) || !flush())
                return false;
            continue;
        }
        if (StartsWith(line, "    ") && !(pending.open && pending.style == HelpParagraph::Item))
        {
            // Literal lines keep their blanks after the first four.
            if (!flush() || !open(HelpParagraph::Code, line.substr(4)) || !flush())
                return false;
            continue;
        }
        if (StartsWith(line, "- "))
        {
            if (!flush() || !open(HelpParagraph::Item, Trim(line.substr(2))))
                return false;
            continue;
        }
        if (pending.open)
        {
            pending.text += " ";
            pending.lines.push_back({pending.text.size(), lineNo});
            pending.text += Trim(line);
        }
        else if (!open(HelpParagraph::Body, Trim(line)))
            return false;
    }
    if (!flush())
        return false;

    if (out.topics.empty())
    {
        error = "no topic";
        return false;
    }
    if (out.title.empty())
        out.title = out.topics[0].title;
    std::set<std::string> known;
    for (const HelpTopic& topic : out.topics)
        known.insert(topic.context);
    for (const auto& jump : jumps)
    {
        if (!known.count(jump.first))
        {
            error = At(jump.second, "no topic {#" + jump.first + "}");
            return false;
        }
    }
    return true;
}
