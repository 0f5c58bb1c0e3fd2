// The sources of an HTML Help file (.chm), made from the same help source
// as the WinHelp file: one page per topic, the contents (.hhc), the index
// (.hhk) and the project (.hhp) that names them, which chmcmd (or
// Microsoft's hhc) compiles.
#ifndef QUORBIT_HELP_HTML_HELP_H
#define QUORBIT_HELP_HTML_HELP_H

#include "help_source.h"

#include <map>
#include <string>

typedef std::map<std::string, std::string> TextFiles;  // file name -> content

// The page a topic's context name is written to.
std::string HtmlPageName(const std::string& context);

// Whether the help window's caption can be written into the project: the
// [WINDOWS] line puts it in double quotes and has no way to write one
// inside. Gives the reason when it cannot.
bool IsWritableCaption(const std::string& caption, std::string& why);

// Fills files for a source ParseHelpSource accepted, replacing what they
// held. NAME.hhp compiles to NAME.chm, which opens at the contents topic;
// its contents list that topic first, then the topics in the order its
// jumps name them, then any others in source order; its index has the
// keywords of the WinHelp file's Index, each with all its topics. The
// text is the source's, in the Windows code page 1252 the pages declare.
void BuildHtmlHelp(const HelpSource& source, const std::string& name, TextFiles& files);

#endif
