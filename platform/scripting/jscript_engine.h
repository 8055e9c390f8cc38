// The "JScript" engine (ECMAScript on duktape). It registers itself under the
// programmatic identifier "JScript" when the platform library loads; create
// it with CreateScriptEngine(u"JScript", ...). See jscript_engine.cpp for
// what it does not do.
#pragma once

#include "platform/scripting/script_engine.h"

extern const CLSID CLSID_JScriptEngine;
