// Objects scripts create by programmatic identifier ("ActiveXObject" and
// "GetObject" in JScript): a process-wide table the program and its
// extensions fill; names are compared without regard to case.
#pragma once

#include "platform/com/com.h"

// Makes a new object with one reference.
using AutomationObjectFactory = HRESULT (*)(IDispatch** out);

// Registers (or replaces) the factory of a programmatic identifier.
void RegisterAutomationObject(WStringView progId, AutomationObjectFactory create);
// Removes a registration; false when there was none.
bool UnregisterAutomationObject(WStringView progId);
// Creates the object; MakeScriptError(429) ("Automation server can't create
// object") for a name nobody registered.
HRESULT CreateAutomationObject(WStringView progId, IDispatch** out);
