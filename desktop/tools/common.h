// Small text and folder helpers of the add-in, shared by its dialogs and
// exporters.
#pragma once

#include <memory>
#include <string>

#include "desktop/host/host_interfaces.h"

namespace zntools8 {

// Keeps the characters from ' ' to '~' and drops the rest (tabs, line ends,
// everything above 126: "Café" becomes "Caf"), then trims leading and
// trailing blanks. Names made from it become file names on the handheld.
std::string FilterPrintable(const std::string& text);
// With stripExtension, the text before its last '.' unchanged (so "Café.znm"
// keeps "Café"); without a '.' or without stripping, FilterPrintable(text).
std::string CleanName(const std::string& text, bool stripExtension);
// Drops a three-letter extension with its dot, then filters. A text shorter
// than four characters has no such extension: it is only filtered.
std::string StripExtension(const std::string& text);

template <class T>
bool IsNothing(const std::shared_ptr<T>& reference) {
    return !reference;
}
template <class T>
bool IsNothing(const T* reference) {
    return reference == nullptr;
}

constexpr const char kDefaultFolderPrompt[] =
    "Please select destination folder for saving Zarnip files.";
// The host's folder picker; an empty prompt takes the default. "" when cancelled.
std::string BrowseForFolder(host::IHostUi& ui, const std::string& prompt);

}  // namespace zntools8
