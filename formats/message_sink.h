// Where the file readers report a condition the user may want to see (a
// window that could not be mapped, a damaged picture). The default sink drops
// it; the user interface installs one that shows a message box. Tests
// capture the messages.
#pragma once

#include <functional>

#include "platform/text/text.h"

using EMessageSink = std::function<void(const WString& text, const WString& caption)>;
void ESetMessageSink(EMessageSink sink);
void EReportMessage(const WString& text, const WString& caption);
