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

namespace {

// The reading of one source: the topics so far, the paragraph being
// gathered, and what is checked once the whole source is read.
class SourceReader
{
public:
    SourceReader(HelpSource& out, std::string& error) : m_out(out), m_error(error) {}

    bool Read(const std::string& text);

private:
    // One kind of line: whether a line is of it, and how it is read. The
    // first kind that takes a line reads it.
    struct LineKind
    {
        bool (SourceReader::*takes)(const std::string& line) const;
        bool (SourceReader::*read)(const std::string& line);
    };
    static const LineKind s_kinds[];

    bool IsComment(const std::string& line) const { return StartsWith(line, "//"); }
    bool IsBlank(const std::string& line) const { return Trim(line).empty(); }
    bool IsCaption(const std::string& line) const { return StartsWith(line, ".title "); }
    bool IsTopic(const std::string& line) const { return StartsWith(line, "# "); }
    bool IsKeywords(const std::string& line) const { return StartsWith(line, "K:"); }
    bool IsHeading(const std::string& line) const { return StartsWith(line, "## "); }
    // Indented lines continue a list item; elsewhere they are literal.
    bool IsLiteral(const std::string& line) const
    {
        return StartsWith(line, "    ") && !(m_pending.open && m_pending.style == HelpParagraph::Item);
    }
    bool IsItem(const std::string& line) const { return StartsWith(line, "- "); }
    bool IsText(const std::string&) const { return true; }

    bool Skip(const std::string&) { return true; }
    bool EndParagraph(const std::string&) { return Flush(); }
    bool ReadCaption(const std::string& line);
    bool ReadTopic(const std::string& line);
    bool ReadKeywords(const std::string& line);
    bool ReadHeading(const std::string& line)
    {
        return Flush() && Open(HelpParagraph::Heading, Trim(line.substr(3))) && Flush();
    }
    // Literal lines keep their blanks after the first four.
    bool ReadLiteral(const std::string& line)
    {
        return Flush() && Open(HelpParagraph::Code, line.substr(4)) && Flush();
    }
    bool ReadItem(const std::string& line) { return Flush() && Open(HelpParagraph::Item, Trim(line.substr(2))); }
    bool ReadText(const std::string& line);

    bool Open(HelpParagraph::Style style, const std::string& s);
    bool Flush();
    bool Fail(int line, const std::string& why)
    {
        m_error = At(line, why);
        return false;
    }
    bool Finish();

    HelpSource& m_out;
    std::string& m_error;
    int m_lineNo = 0;
    Pending m_pending;
    std::vector<std::pair<std::string, int>> m_jumps;             // target, line
    std::map<uint32_t, std::pair<std::string, int>> m_contexts;  // hash -> name, line
    bool m_topicHasText = false;  // past the lines right under the heading
};

const SourceReader::LineKind SourceReader::s_kinds[] = {
    {&SourceReader::IsComment, &SourceReader::Skip},
    {&SourceReader::IsBlank, &SourceReader::EndParagraph},
    {&SourceReader::IsCaption, &SourceReader::ReadCaption},
    {&SourceReader::IsTopic, &SourceReader::ReadTopic},
    {&SourceReader::IsKeywords, &SourceReader::ReadKeywords},
    {&SourceReader::IsHeading, &SourceReader::ReadHeading},
    {&SourceReader::IsLiteral, &SourceReader::ReadLiteral},
    {&SourceReader::IsItem, &SourceReader::ReadItem},
    {&SourceReader::IsText, &SourceReader::ReadText},
};

bool SourceReader::Read(const std::string& text)
{
    std::istringstream in(text);
    std::string line;

    while (std::getline(in, line))
    {
        m_lineNo++;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (!CheckPrintable(line, m_lineNo, m_error))
            return false;
        for (const LineKind& kind : s_kinds)
        {
            if (!(this->*kind.takes)(line))
                continue;
            if (!(this->*kind.read)(line))
                return false;
            break;
        }
    }
    return Flush() && Finish();
}

bool SourceReader::ReadCaption(const std::string& line)
{
    std::string why;

    m_out.title = Trim(line.substr(7));
    if (!CaptionFits(m_out.title, why) || !IsWritableCaption(m_out.title, why))
        return Fail(m_lineNo, why);
    return true;
}

bool SourceReader::ReadTopic(const std::string& line)
{
    if (!Flush())
        return false;
    std::string rest = Trim(line.substr(2));
    size_t brace = rest.rfind(" {#");
    if (brace == std::string::npos || rest.back() != '}')
        return Fail(m_lineNo, "a topic is written # Title {#context}");
    HelpTopic topic;
    topic.title = Trim(rest.substr(0, brace));
    topic.context = rest.substr(brace + 3, rest.size() - brace - 4);
    if (topic.title.size() > MaxTopicTitleLength())
        return Fail(m_lineNo, "topic title " + Quoted(topic.title) + " is " + std::to_string(topic.title.size()) +
                                  " bytes long, more than the " + std::to_string(MaxTopicTitleLength()) +
                                  " a title page takes");
    if (!IsValidContextName(topic.context))
        return Fail(m_lineNo, "context names use only A-Z, a-z, 0-9, '.' and '_'");
    // Jumps find topics by hash, so names must differ in hash.
    auto taken = m_contexts.insert({ContextHash(topic.context), {topic.context, m_lineNo}});
    if (!taken.second)
        return Fail(m_lineNo, "context " + topic.context + " clashes with {#" + taken.first->second.first +
                                  "} on line " + std::to_string(taken.first->second.second));
    m_topicHasText = false;
    topic.paragraphs.push_back({HelpParagraph::Title, {{HelpRun::Plain, topic.title, ""}}});
    m_out.topics.push_back(topic);
    return true;
}

bool SourceReader::ReadKeywords(const std::string& line)
{
    if (m_out.topics.empty())
        return Fail(m_lineNo, "keywords outside a topic");
    if (m_topicHasText)
        return Fail(m_lineNo, "keywords go right under the topic's heading");
    return ParseKeywords(line.substr(2), m_lineNo, m_out.topics.back().keywords, m_error);
}

// A line of running text: it continues the open paragraph, or opens one.
bool SourceReader::ReadText(const std::string& line)
{
    if (!m_pending.open)
        return Open(HelpParagraph::Body, Trim(line));
    m_pending.text += " ";
    m_pending.lines.push_back({m_pending.text.size(), m_lineNo});
    m_pending.text += Trim(line);
    return true;
}

bool SourceReader::Open(HelpParagraph::Style style, const std::string& s)
{
    if (m_out.topics.empty())
        return Fail(m_lineNo, "text before the first topic");
    m_topicHasText = true;
    m_pending.open = true;
    m_pending.style = style;
    m_pending.text = s;
    m_pending.lines.assign(1, {0, m_lineNo});
    return true;
}

// Ends the open paragraph, if any, and adds it to the topic.
bool SourceReader::Flush()
{
    if (!m_pending.open)
        return true;
    m_pending.open = false;
    HelpParagraph para{m_pending.style, {}};
    std::string why;
    if (m_pending.style == HelpParagraph::Code)
        para.runs.push_back({HelpRun::Plain, m_pending.text, ""});
    else if (!ParseRuns(m_pending.text, m_pending.lines, para.runs, m_jumps, m_error))
        return false;
    if (!ParagraphFits(para, why))
        return Fail(m_pending.lines.front().second, why);
    m_out.topics.back().paragraphs.push_back(para);
    return true;
}

// What only the whole source tells: a topic at all, and every jump's target.
bool SourceReader::Finish()
{
    if (m_out.topics.empty())
    {
        m_error = "no topic";
        return false;
    }
    if (m_out.title.empty())
        m_out.title = m_out.topics[0].title;
    std::set<std::string> known;
    for (const HelpTopic& topic : m_out.topics)
        known.insert(topic.context);
    for (const auto& jump : m_jumps)
    {
        if (!known.count(jump.first))
            return Fail(jump.second, "no topic {#" + jump.first + "}");
    }
    return true;
}

}  // namespace

bool ParseHelpSource(const std::string& text, HelpSource& out, std::string& error)
{
    out = HelpSource();
    return SourceReader(out, error).Read(text);
}
