// libFuzzer target: the VBScript lexer and parser on arbitrary text (the
// bytes as UTF-8), as a script and as an expression. Syntax errors are
// expected; crashes, hangs and unbounded recursion are not.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "platform/scripting/vbscript/vbs_ast.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    WString text = text::FromUtf8(std::string_view(reinterpret_cast<const char*>(data), size));
    try {
        vbs::Parse(text, 0);
    } catch (const vbs::SyntaxError&) {
    }
    try {
        vbs::ParseExpression(text, 0);
    } catch (const vbs::SyntaxError&) {
    }
    return 0;
}
