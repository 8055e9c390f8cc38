// The "VBScript" engine. It registers itself under that name with the script
// engine registry when the platform library loads; create it with
// CreateScriptEngine(u"VBScript", ...). See vbs_engine.cpp for the name
// resolution order and how scriptlets and Item_Event procedures are bound.
#pragma once

#include <functional>

#include "platform/text/text.h"

namespace vbs {

// Answers InputBox(prompt, title, default) -> text; false means Cancel (the
// function then returns Empty). Without a responder every input box is
// cancelled. The window layer has no text prompt dialog yet.
void SetInputBoxResponder(
    std::function<bool(const WString&, const WString&, const WString&, WString*)> responder);

}  // namespace vbs
