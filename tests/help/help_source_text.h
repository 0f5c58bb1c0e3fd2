// The text of help/Quorbit.txt, the source the built file was made from.
#ifndef QUORBIT_TEST_HELP_SOURCE_TEXT_H
#define QUORBIT_TEST_HELP_SOURCE_TEXT_H

#include <fstream>
#include <sstream>
#include <string>

inline std::string HelpSourceText()
{
    std::ifstream in(QUORBIT_HELP_SOURCE, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

#endif
