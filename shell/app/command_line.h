// The program's command line: flags begin with "-" (host paths begin with
// "/"), every other word joins the file name with one blank, so a path with
// blanks given without quotes still names one file.
#pragma once

#include <string>

#include "platform/text/text.h"

class CCommandLineInfoExt {
public:
    enum ShellCommand { FileNew, FileOpen };

    // One word; `last` after the last word turns the joined words into the
    // file to open.
    void ParseParam(const char* word, bool last);
    // The words after the program name.
    void Parse(int argc, const char* const* argv);

    bool m_showSplash = true;
    ShellCommand m_shellCommand = FileNew;
    // The file to open, as a device path.
    WString m_fileName;
    // What was said on standard error (ignored flags, unusable paths).
    std::string m_warnings;

private:
    void Warn(const std::string& line);

    std::string m_words;
    bool m_flagsEnded = false;
};
