// Text at the library's interface: the interface code page, checked
// conversions to and from libxml2's UTF-8, caller buffers, and the handheld's
// UTF-8 dialect.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/text/text.h"

namespace zntools {

// The interface code page: UTF-8 unless ZNTOOLS3_CODEPAGE named another when
// the library was loaded.
unsigned InterfaceCodePage();
// Reads ZNTOOLS3_CODEPAGE (an unknown or unsupported number keeps UTF-8).
void InitInterfaceCodePage();

// Interface text to standard UTF-8 (CESU-8 input accepted); nothing when the
// text is not valid in the interface code page.
std::optional<std::string> FromInterface(const char* s);
// UTF-8 from libxml2 to interface text; characters the code page lacks
// become '?'.
std::string ToInterface(std::string_view utf8);
// Clears `size` bytes of the buffer and copies as much of `text` as fits in
// size - 1 bytes without splitting a character of the interface code page.
// Does nothing for a null buffer or a size below 1.
void CopyToBuffer(std::string_view utf8, char* buffer, int32_t size);

// The handheld's UTF-8: every UTF-16 unit as 1 to 3 bytes.
void AppendHandheldUtf8(std::string& out, char16_t unit);

}  // namespace zntools
