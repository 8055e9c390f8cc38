#include "desktop/tools/common.h"

namespace zntools8 {

std::string FilterPrintable(const std::string& text) {
    std::string out;
    for (char c : text)
        if (static_cast<unsigned char>(c) >= 32 && static_cast<unsigned char>(c) <= 126) out += c;
    const size_t first = out.find_first_not_of(' ');
    if (first == std::string::npos) return {};
    const size_t last = out.find_last_not_of(' ');
    return out.substr(first, last - first + 1);
}

std::string CleanName(const std::string& text, bool stripExtension) {
    if (stripExtension) {
        const size_t dot = text.rfind('.');
        if (dot != std::string::npos) return text.substr(0, dot);
    }
    return FilterPrintable(text);
}

std::string StripExtension(const std::string& text) {
    if (text.size() >= 4 && text[text.size() - 4] == '.')
        return FilterPrintable(text.substr(0, text.size() - 4));
    return FilterPrintable(text);
}

std::string BrowseForFolder(host::IHostUi& ui, const std::string& prompt) {
    return ui.BrowseForFolder(prompt.empty() ? std::string(kDefaultFolderPrompt) : prompt);
}

}  // namespace zntools8
