#include "html_help.h"
#include "keyword_index.h"

#include <cstddef>
#include <initializer_list>
#include <utility>
#include <vector>

namespace {

typedef std::vector<std::pair<std::string, std::string>> Params;  // name, value

// Windows files, with Windows line ends.
const char kEnd[] = "\r\n";

std::string Lines(std::initializer_list<std::string> lines)
{
    std::string text;
    for (const std::string& line : lines)
        text += line + kEnd;
    return text;
}

// The source is printable ASCII, the same in every code page; 1252 is the
// one the project's language (0x409) gives the viewer for the contents
// and the index.
const char kCharset[] = "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=windows-1252\">";

std::string Escaped(const std::string& s)
{
    std::string out;
    for (char c : s)
    {
        switch (c)
        {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

std::string Runs(const std::vector<HelpRun>& runs)
{
    std::string html;
    for (const HelpRun& run : runs)
    {
        std::string text = Escaped(run.text);
        switch (run.kind)
        {
        case HelpRun::Bold:
            html += "<b>" + text + "</b>";
            break;
        case HelpRun::Literal:
            html += "<code>" + text + "</code>";
            break;
        case HelpRun::Jump:
            html += "<a href=\"" + HtmlPageName(run.target) + "\">" + text + "</a>";
            break;
        default:
            html += text;
        }
    }
    return html;
}

// What ends a run of list items or literal lines.
std::string Close(HelpParagraph::Style style)
{
    if (style == HelpParagraph::Item)
        return Lines({"</ul>"});
    if (style == HelpParagraph::Code)
        return Lines({"</pre>"});
    return "";
}

std::string Page(const HelpTopic& topic)
{
    std::string html = Lines({"<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01//EN\">", "<html>", "<head>", kCharset,
                              "<title>" + Escaped(topic.title) + "</title>",
                              "<style type=\"text/css\">body { font-family: Verdana, Arial, sans-serif; font-size: 10pt }"
                              " h1 { font-size: 14pt } h2 { font-size: 11pt }</style>",
                              "</head>", "<body>"});
    const HelpParagraph* previous = nullptr;
    for (const HelpParagraph& para : topic.paragraphs)
    {
        // Consecutive items make one list, consecutive literal lines one block.
        bool goesOn = previous && previous->style == para.style;
        if (previous && !goesOn)
            html += Close(previous->style);
        switch (para.style)
        {
        case HelpParagraph::Title:
            html += Lines({"<h1>" + Runs(para.runs) + "</h1>"});
            break;
        case HelpParagraph::Heading:
            html += Lines({"<h2>" + Runs(para.runs) + "</h2>"});
            break;
        case HelpParagraph::Item:
            html += (goesOn ? "" : Lines({"<ul>"})) + Lines({"<li>" + Runs(para.runs) + "</li>"});
            break;
        case HelpParagraph::Code:
            html += (goesOn ? kEnd : "<pre>") + Runs(para.runs);
            break;
        default:
            html += Lines({"<p>" + Runs(para.runs) + "</p>"});
        }
        previous = &para;
    }
    if (previous)
        html += Close(previous->style);
    return html + Lines({"</body>", "</html>"});
}

// The contents topic, then the topics its jumps name, then the rest.
std::vector<size_t> ContentsOrder(const HelpSource& source)
{
    std::vector<size_t> order;
    std::vector<bool> listed(source.topics.size(), false);
    auto add = [&](size_t t) {
        if (!listed[t])
            order.push_back(t);
        listed[t] = true;
    };
    add(0);
    for (const HelpParagraph& para : source.topics[0].paragraphs)
        for (const HelpRun& run : para.runs)
            if (run.kind == HelpRun::Jump)
                for (size_t t = 0; t < source.topics.size(); t++)
                    if (source.topics[t].context == run.target)
                        add(t);
    for (size_t t = 0; t < source.topics.size(); t++)
        add(t);
    return order;
}

std::string SitemapEntry(const Params& params)
{
    std::string entry = Lines({"<LI> <OBJECT type=\"text/sitemap\">"});
    for (const auto& param : params)
        entry += Lines({"\t<param name=\"" + param.first + "\" value=\"" + Escaped(param.second) + "\">"});
    return entry + Lines({"\t</OBJECT>"});
}

std::string Sitemap(const std::string& entries)
{
    return Lines({"<!DOCTYPE HTML PUBLIC \"-//IETF//DTD HTML//EN\">", "<HTML>", "<HEAD>", kCharset, "</HEAD>", "<BODY>",
                  "<UL>"}) +
           entries + Lines({"</UL>", "</BODY>", "</HTML>"});
}

}

std::string HtmlPageName(const std::string& context)
{
    return context + ".htm";
}

bool IsWritableCaption(const std::string& caption, std::string& why)
{
    if (caption.find('"') == std::string::npos)
        return true;
    why = "the caption may not hold a \": the [WINDOWS] line of the HTML Help project cannot quote it";
    return false;
}

void BuildHtmlHelp(const HelpSource& source, const std::string& name, TextFiles& files)
{
    files.clear();
    std::string pages;
    for (const HelpTopic& topic : source.topics)
    {
        files[HtmlPageName(topic.context)] = Page(topic);
        pages += Lines({HtmlPageName(topic.context)});
    }

    std::string contents;
    for (size_t t : ContentsOrder(source))
        contents += SitemapEntry({{"Name", source.topics[t].title}, {"Local", HtmlPageName(source.topics[t].context)}});
    files[name + ".hhc"] = Sitemap(contents);

    // A keyword of several topics names each, so the viewer can offer a choice.
    std::string index;
    for (const IndexKeyword& keyword : IndexKeywords(source))
    {
        Params params{{"Name", keyword.text}};
        for (size_t t : keyword.topics)
        {
            if (keyword.topics.size() > 1)
                params.push_back({"Name", source.topics[t].title});
            params.push_back({"Local", HtmlPageName(source.topics[t].context)});
        }
        index += SitemapEntry(params);
    }
    files[name + ".hhk"] = Sitemap(index);

    // No binary index: chmcmd leaves a field of it unset, which differs from
    // build to build, and the viewers read the index file itself without it.
    // The window names the contents and the index, or Wine's viewer shows
    // no Index. It opens at 680x500, with the Hide, Back, Forward, Home,
    // Options and Print buttons; its contents, wide enough for the titles,
    // follow the topic shown.
    std::string page = HtmlPageName(source.topics[0].context);
    files[name + ".hhp"] =
        Lines({"[OPTIONS]", "Compatibility=1.1 or later", "Compiled file=" + name + ".chm",
               "Contents file=" + name + ".hhc", "Index file=" + name + ".hhk", "Default topic=" + page,
               "Default Window=main", "Display compile progress=No", "Binary Index=No",
               "Language=0x409 English (United States)", "Title=" + source.title, "", "[WINDOWS]",
               "main=\"" + source.title + "\",\"" + name + ".hhc\",\"" + name + ".hhk\",\"" + page + "\",\"" + page +
                   "\",,,,,0x120,300,0x304E,[40,40,720,540],,,,,,,0",
               "", "[FILES]"}) +
        pages;
}
