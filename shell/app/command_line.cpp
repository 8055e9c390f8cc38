#include "shell/app/command_line.h"

#include <cstdio>
#include <cstring>

#include "platform/fs/fs.h"

void CCommandLineInfoExt::Warn(const std::string& line) {
    m_warnings += line + "\n";
    std::fprintf(stderr, "zarnip: %s\n", line.c_str());
}

void CCommandLineInfoExt::ParseParam(const char* word, bool last) {
    if (word && *word) {
        if (!m_flagsEnded && word[0] == '-') {
            if (std::strcmp(word, "--") == 0) m_flagsEnded = true;
            else if (std::strcmp(word, "--no-splash") == 0) m_showSplash = false;
            else Warn(std::string("ignoring the unknown option ") + word);
        } else {
            if (!m_words.empty()) m_words += ' ';
            m_words += word;
        }
    }
    if (!last || m_words.empty()) return;
    m_fileName = fs::DevicePathFromHost(m_words);
    if (m_fileName.empty()) {
        Warn("cannot open " + m_words + ": it lies outside the device folders");
        m_shellCommand = FileNew;
    } else {
        m_shellCommand = FileOpen;
    }
}

void CCommandLineInfoExt::Parse(int argc, const char* const* argv) {
    for (int i = 1; i < argc; ++i) ParseParam(argv[i], i == argc - 1);
}
