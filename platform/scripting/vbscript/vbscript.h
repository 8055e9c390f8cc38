// The "VBScript" engine. It registers itself under that name with the script
// engine registry when the platform library loads; create it with
// CreateScriptEngine(u"VBScript", ...). See vbs_engine.cpp for the name
// resolution order and how scriptlets and Item_Event procedures are bound.
#pragma once

namespace vbs {

// Control ids of the InputBox dialog (a modal dialog owned by the site's
// window): the prompt text and the edit field; OK and Cancel are IDOK and
// IDCANCEL.
constexpr int kInputPromptId = 1001;
constexpr int kInputTextId = 1000;

}  // namespace vbs
