#include "help_source.h"
#include "context_hash.h"
#include "keyword_index.h"

#include <map>
#include <set>
#include <sstream>

namespace {

struct Pending
{
    bool open = false;
    HelpParagraph::Style style = HelpParagraph::Body;
    std::string text;
    int line = 0;
};

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
        keywords.push_back(keyword);
        if (end == std::string::npos)
            return true;
        start = end + 1;
    }
}

// Splits inline markup into runs.
bool ParseRuns(const std::string& s, int line, std::vector<HelpRun>& runs, std::string& error)
{
    std::string plain;
    bool bold = false;
    auto flush = [&]() {
        if (!plain.empty())
            runs.push_back({bold ? HelpRun::Bold : HelpRun::Plain, plain, ""});
        plain.clear();
    };
    for (size_t i = 0; i < s.size();)
    {
        if (s.compare(i, 2, "**") == 0)
        {
            flush();
            bold = !bold;
            i += 2;
        }
        else if (s[i] == '`')
        {
            size_t end = s.find('`', i + 1);
            if (end == std::string::npos)
            {
                error = At(line, "unclosed `");
                return false;
            }
            flush();
            runs.push_back({HelpRun::Literal, s.substr(i + 1, end - i - 1), ""});
            i = end + 1;
        }
        else if (s[i] == '[')
        {
            size_t mid = s.find("](#", i);
            size_t end = mid == std::string::npos ? mid : s.find(')', mid);
            if (end == std::string::npos)
            {
                error = At(line, "a link is written [text](#context)");
                return false;
            }
            flush();
            runs.push_back({HelpRun::Jump, s.substr(i + 1, mid - i - 1), s.substr(mid + 3, end - mid - 3)});
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
        error = At(line, "unclosed **");
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
        if (pending.style == HelpParagraph::Code)
            para.runs.push_back({HelpRun::Plain, pending.text, ""});
        else if (!ParseRuns(pending.text, pending.line, para.runs, error))
            return false;
        for (const HelpRun& run : para.runs)
            if (run.kind == HelpRun::Jump)
                jumps.push_back({run.target, pending.line});
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
        pending.line = lineNo;
        return true;
    };

    while (std::getline(in, line))
    {
        lineNo++;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        for (char c : line)
        {
            // The file is written in the viewer's single-byte code page;
            // keeping to printable ASCII keeps it the same in every one.
            if (c < 0x20 || c > 0x7E)
            {
                error = At(lineNo, "only printable ASCII characters are allowed");
                return false;
            }
        }
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
            pending.text += " " + Trim(line);
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
