// The help text source: a small markup read into topics and paragraphs.
//
//   // comment line
//   .title Caption of the help window
//   # Topic title {#context_name}      starts a topic; the first is the contents
//   K: keyword; another keyword        the topic's keywords for the Index,
//                                       on lines right under its heading
//   ## Heading                          a bold heading line
//   - item                              a list item; indented lines continue it
//       literal line                    four blanks: a line in a fixed font
//   other lines                         paragraphs, ended by a blank line
//
// Inside paragraphs, headings and list items: **bold**, `literal`, and
// [link text](#context_name), a jump to another topic. A link's text runs
// to the first ']' and holds no '['; a '[' that does not start a link is
// plain text.
#ifndef QUORBIT_HELP_SOURCE_H
#define QUORBIT_HELP_SOURCE_H

#include <string>
#include <vector>

struct HelpRun
{
    enum Kind { Plain, Bold, Literal, Jump };
    Kind kind;
    std::string text;
    std::string target;  // context name of a Jump
};

struct HelpParagraph
{
    enum Style { Title, Heading, Body, Item, Code };
    Style style;
    std::vector<HelpRun> runs;
};

struct HelpTopic
{
    std::string context;
    std::string title;
    std::vector<HelpParagraph> paragraphs;  // the first one shows the title
    std::vector<std::string> keywords;      // as written, blanks trimmed
};

struct HelpSource
{
    std::string title;
    std::vector<HelpTopic> topics;  // topics[0] is the contents topic
};

// Reads the markup, checking every limit of the files made from it. On
// failure returns false with "line N: reason" in error, or "line N, column
// C: reason" for a byte that is not printable ASCII; out is then incomplete.
bool ParseHelpSource(const std::string& text, HelpSource& out, std::string& error);

#endif
