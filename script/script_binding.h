// Binding script handlers from the program's XML files: event attributes
// become scriptlets of a named item, SCRIPT children run (inline text or a
// file named by src), and the questions the readers of those files ask
// before they make a host.
#pragma once

#include "platform/text/text.h"

class CScriptHost;
class CXmlNode;

// Every attribute of the element named after an event (in any letter case)
// becomes a scriptlet of the item, in document order; then the element's
// SCRIPT children run. A scriptlet the engine refuses is reported through
// the error box and binding goes on. False for a null element.
bool BindElementEvents(CScriptHost& host, const CXmlNode* element, const WChar* itemName);
// Runs the element's direct SCRIPT children in document order: src names a
// file (a bare name in the XML file's folder, found in any letter case; a
// path with a folder relative to that folder unless it starts with "\"),
// run when it exists; else the element's text runs. Answers how many SCRIPT
// children there were, run or not.
int RunScriptElements(CScriptHost& host, const CXmlNode* element);
// The device path a SCRIPT's src names for a file that holds the element;
// empty when it cannot be placed (no src, or an XML text without a file).
WString ScriptSourcePath(const CXmlNode* script);

// True when an attribute's name begins with the prefix (with case; none or
// an empty one matches every name) and is an event name.
bool HasEventAttributes(const CXmlNode* element, const WChar* prefix);
// The language attribute of the first SCRIPT among the element's children,
// then in each child's subtree in document order; true when not empty.
bool GetScriptLanguage(const CXmlNode* element, WString& language);
