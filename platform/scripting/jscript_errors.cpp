// The "JScript" error numbers and their English texts, and the translation
// of duktape's own errors into them: scripts test e.number and show
// e.description, so duktape's texts never reach the user.
#include <cstring>
#include <string_view>

#include "platform/scripting/jscript_internal.h"

namespace jscript {

namespace {

struct ErrorText {
    uint16_t number;
    const char* text;
};

// Sorted by number.
const ErrorText kTexts[] = {
    {5, "Invalid procedure call or argument"},
    {6, "Overflow"},
    {7, "Out of memory"},
    {9, "Subscript out of range"},
    {10, "This array is fixed or temporarily locked"},
    {11, "Division by zero"},
    {13, "Type mismatch"},
    {14, "Out of string space"},
    {17, "Can't perform requested operation"},
    {28, "Out of stack space"},
    {35, "Sub or Function not defined"},
    {48, "Error in loading DLL"},
    {51, "Internal error"},
    {52, "Bad file name or number"},
    {53, "File not found"},
    {54, "Bad file mode"},
    {55, "File already open"},
    {57, "Device I/O error"},
    {58, "File already exists"},
    {61, "Disk full"},
    {62, "Input past end of file"},
    {67, "Too many files"},
    {68, "Device unavailable"},
    {70, "Permission denied"},
    {71, "Disk not ready"},
    {74, "Can't rename with different drive"},
    {75, "Path/File access error"},
    {76, "Path not found"},
    {91, "Object variable or With block variable not set"},
    {92, "For loop not initialized"},
    {94, "Invalid use of Null"},
    {322, "Can't create necessary temporary file"},
    {424, "Object required"},
    {429, "Automation server can't create object"},
    {430, "Class doesn't support Automation"},
    {432, "File name or class name not found during Automation operation"},
    {438, "Object doesn't support this property or method"},
    {440, "Automation error"},
    {445, "Object doesn't support this action"},
    {446, "Object doesn't support named arguments"},
    {447, "Object doesn't support current locale setting"},
    {448, "Named argument not found"},
    {449, "Argument not optional"},
    {450, "Wrong number of arguments or invalid property assignment"},
    {451, "Object not a collection"},
    {453, "Specified DLL function not found"},
    {458, "Variable uses an Automation type not supported in JScript"},
    {462, "The remote server machine does not exist or is unavailable"},
    {501, "Cannot assign to variable"},
    {502, "Object not safe for scripting"},
    {503, "Object not safe for initializing"},
    {504, "Object not safe for creating"},
    {507, "An exception occurred"},
    {1001, "Out of memory"},
    {1002, "Syntax error"},
    {1003, "Expected ':'"},
    {1004, "Expected ';'"},
    {1005, "Expected '('"},
    {1006, "Expected ')'"},
    {1007, "Expected ']'"},
    {1008, "Expected '{'"},
    {1009, "Expected '}'"},
    {1010, "Expected identifier"},
    {1011, "Expected '='"},
    {1012, "Expected '/'"},
    {1013, "Invalid number"},
    {1014, "Invalid character"},
    {1015, "Unterminated string constant"},
    {1016, "Unterminated comment"},
    {1018, "'return' statement outside of function"},
    {1019, "Can't have 'break' outside of loop"},
    {1020, "Can't have 'continue' outside of loop"},
    {1023, "Expected hexadecimal digit"},
    {1024, "Expected 'while'"},
    {1025, "Label redefined"},
    {1026, "Label not found"},
    {1027, "'default' can only appear once in a 'switch' statement"},
    {1028, "Expected identifier, string or number"},
    {1029, "Expected '@end'"},
    {1030, "Conditional compilation is turned off"},
    {1031, "Expected constant"},
    {1032, "Expected '@'"},
    {1033, "Expected 'catch'"},
    {1034, "Expected 'var'"},
    {1035, "'throw' must be followed by an expression on the same source line"},
    {5000, "Cannot assign to 'this'"},
    {5001, "Number expected"},
    {5002, "Function expected"},
    {5003, "Cannot assign to a function result"},
    {5004, "Cannot index object"},
    {5005, "String expected"},
    {5006, "Date object expected"},
    {5007, "Object expected"},
    {5008, "Illegal assignment"},
    {5009, "Undefined identifier"},
    {5010, "Boolean expected"},
    {5011, "Can't execute code from a freed script"},
    {5012, "Object member expected"},
    {5013, "VBArray expected"},
    {5014, "JScript object expected"},
    {5015, "Enumerator object expected"},
    {5016, "Regular Expression object expected"},
    {5017, "Syntax error in regular expression"},
    {5018, "Unexpected quantifier"},
    {5019, "Expected ']' in regular expression"},
    {5020, "Expected ')' in regular expression"},
    {5021, "Invalid range in character set"},
    {5022, "Exception thrown and not caught"},
    {5023, "Function does not have a valid prototype object"},
    {5024, "The URI to be encoded contains an invalid character"},
    {5025, "The URI to be decoded is not a valid encoding"},
    {5026, "The number of fractional digits is out of range"},
    {5027, "The precision is out of range"},
    {5028, "Array or arguments object expected"},
    {5029, "Array length must be a finite positive integer"},
    {5030, "Array length must be assigned a finite positive number"},
    {5031, "Array object expected"},
    {5034, "Circular reference in value argument not supported"},
};

bool StartsWith(std::string_view s, std::string_view p) {
    return s.substr(0, p.size()) == p;
}

bool Has(std::string_view s, std::string_view p) {
    return s.find(p) != std::string_view::npos;
}

}  // namespace

const char* ClassicErrorText(int number) {
    size_t lo = 0, hi = sizeof kTexts / sizeof kTexts[0];
    while (lo < hi) {
        size_t mid = (lo + hi) / 2;
        if (kTexts[mid].number == number) return kTexts[mid].text;
        if (kTexts[mid].number < number)
            lo = mid + 1;
        else
            hi = mid;
    }
    return nullptr;
}

std::string HostErrorText(HRESULT hr) {
    if ((static_cast<uint32_t>(hr) & 0xFFFF0000u) == 0x800A0000u) {
        const char* t = ClassicErrorText(static_cast<int>(hr & 0xFFFF));
        return t ? t : "";
    }
    WString d = DescribeHResult(hr);
    if (d.rfind(u"Error 0x", 0) == 0) return std::string();
    return text::ToUtf8(d);
}

int ErrorTypeForHResult(HRESULT hr) {
    if ((static_cast<uint32_t>(hr) & 0xFFFF0000u) != 0x800A0000u) return DUK_ERR_ERROR;
    const int n = static_cast<int>(hr & 0xFFFF);
    switch (n) {
        case 6:
        case 9:
        case 5026:
        case 5027:
        case 5029:
        case 5030:
            return DUK_ERR_RANGE_ERROR;
        case 13:
        case 91:
        case 424:
        case 438:
        case 445:
        case 451:
        case 5023:
        case 5028:
            return DUK_ERR_TYPE_ERROR;
        case 5000:
        case 5003:
        case 5008:
        case 5009:
            return DUK_ERR_REFERENCE_ERROR;
        case 5024:
        case 5025:
            return DUK_ERR_URI_ERROR;
        default:
            break;
    }
    if ((n >= 5001 && n <= 5007) || n == 5010 || (n >= 5012 && n <= 5016) || n == 5031)
        return DUK_ERR_TYPE_ERROR;
    if ((n >= 1000 && n < 1100) || (n >= 5017 && n <= 5021)) return DUK_ERR_SYNTAX_ERROR;
    return DUK_ERR_ERROR;
}

ClassicError ClassifyEngineError(std::string_view name, std::string_view message) {
    // The compiler appends the position: "parse error (line 3, end of input)".
    size_t paren = message.rfind(" (line ");
    if (paren != std::string_view::npos) message = message.substr(0, paren);
    ClassicError r;
    auto set = [&](int number) {
        r.number = static_cast<int32_t>(MakeScriptError(static_cast<uint16_t>(number)));
        const char* t = ClassicErrorText(number);
        r.text = t ? t : "";
    };
    if (StartsWith(message, "identifier '") && message.size() > 22 &&
        message.substr(message.size() - 10) == " undefined") {
        set(5009);
        r.text = std::string(message.substr(11, message.size() - 21)) + " is undefined";
        return r;
    }
    if (message == "execution timeout") {
        r.number = static_cast<int32_t>(E_ABORT);
        r.text = "Operation aborted";
        return r;
    }
    if (Has(message, "limit") &&
        (StartsWith(message, "callstack") || StartsWith(message, "C stack") ||
         StartsWith(message, "valstack") || Has(message, "recursion limit") ||
         StartsWith(message, "prototype chain") || Has(message, "bound chain") ||
         StartsWith(message, "regexp step"))) {
        set(28);
        return r;
    }
    if (message == "alloc failed" || message == "string too long" || message == "buffer too long" ||
        message == "result too long") {
        set(7);
        return r;
    }
    if (Has(message, "not callable (property ")) {
        set(StartsWith(message, "undefined ") ? 438 : 5002);
        return r;
    }
    if (Has(message, " not callable") || StartsWith(message, "invalid instanceof rval") ||
        StartsWith(message, "instanceof rval")) {
        set(5002);
        return r;
    }
    if (Has(message, " not constructable") || message == "constructor requires 'new'") {
        set(445);
        return r;
    }
    if (StartsWith(message, "cannot read property") ||
        StartsWith(message, "cannot write property") ||
        StartsWith(message, "cannot delete property") || message == "invalid base value" ||
        message == "not object coercible") {
        set(5007);
        return r;
    }
    if (message == "expected Date") {
        set(5006);
        return r;
    }
    if (StartsWith(message, "RegExp required")) {
        set(5016);
        return r;
    }
    // the built-ins called on the wrong kind of object
    static const struct {
        const char* message;
        int number;
    } kExpected[] = {{"number expected", 5001},
                     {"function expected", 5002},
                     {"string expected", 5005},
                     {"boolean expected", 5010},
                     {"array or arguments expected", 5028},
                     {"array expected", 5031}};
    for (const auto& x : kExpected)
        if (message == x.message) {
            set(x.number);
            return r;
        }
    if (message == "invalid array length" ||
        (name == "RangeError" && message == "invalid length")) {
        set(5029);
        return r;
    }
    if (message == "cyclic input") {
        set(5034);
        return r;
    }
    if (message == "invalid lvalue" || message == "not writable") {
        set(5008);
        return r;
    }
    if (StartsWith(message, "INVALID opcode") || message == "internal error") {
        set(51);
        return r;
    }
    if (name == "SyntaxError") {
        if (message == "unterminated string")
            set(1015);
        else if (message == "unterminated comment")
            set(1016);
        else if (message == "unterminated regexp")
            set(1012);
        else if (message == "invalid return")
            set(1018);
        else if (message == "duplicate label")
            set(1025);
        else if (message == "invalid break/continue label")
            set(1019);
        else if (message == "expected identifier" || message == "function name required" ||
                 message == "invalid function name" || message == "invalid argument name")
            set(1010);
        else if (message == "invalid number literal")
            set(1013);
        else if (message == "invalid token")
            set(1014);
        else if (message == "invalid escape")
            set(1023);
        else if (message == "invalid try")
            set(1033);
        else if (message == "invalid throw")
            set(1035);
        else if (message == "unexpected end of pattern")
            set(5020);
        else if (message == "unterminated character class")
            set(5019);
        else if (message == "quantifier without preceding atom" ||
                 message == "invalid regexp quantifier")
            set(5018);
        else if (message == "invalid range")
            set(5021);
        else if (StartsWith(message, "invalid json"))
            set(1014);
        else if (Has(message, "regexp") || Has(message, "backreference") ||
                 Has(message, "parenthesis") || Has(message, "end of pattern") ||
                 Has(message, "quantifier"))
            set(5017);
        else
            set(1002);
        return r;
    }
    if (name == "URIError") {
        set(5025);
        return r;
    }
    if (name == "TypeError") {
        set(5007);
        return r;
    }
    if (name == "RangeError") {
        set(5);
        return r;
    }
    if (name == "ReferenceError") {
        set(5008);
        return r;
    }
    // Anything else keeps its text under the generic number.
    r.number = static_cast<int32_t>(MakeScriptError(5022));
    r.text = std::string(message);
    return r;
}

}  // namespace jscript
