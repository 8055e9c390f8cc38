// VBScript source form: tokens, the syntax tree and the parser's entry point.
// The tree is what the interpreter walks; names are kept folded to lower case
// so that lookups never fold again at run time.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/text/text.h"

namespace vbs {

// ---- tokens ----

enum class Tok : uint8_t {
    End,    // end of text
    Eol,    // end of statement: line break or ':'
    Ident,  // name or [bracketed name]; keywords too, see Token::kw
    Int,    // integer literal (value in ival, vt in ivt: 2 Integer, 3 Long)
    Float,  // floating literal (dval)
    Str,    // string literal (text)
    Date,   // date literal (dval, an OLE date)
    Op,     // operator or punctuation (text holds it)
};

// Reserved words. kNone for ordinary names.
enum class Kw : uint8_t {
    None,
    And,
    As,
    ByRef,
    ByVal,
    Call,
    Case,
    Class,
    Const,
    Dim,
    Do,
    Each,
    Else,
    ElseIf,
    Empty,
    End,
    Eqv,
    Erase,
    Exit,
    False,
    For,
    Function,
    If,
    Imp,
    In,
    Is,
    Loop,
    Me,
    Mod,
    New,
    Next,
    Not,
    Nothing,
    Null,
    On,
    Option,
    Or,
    Preserve,
    Private,
    Public,
    ReDim,
    Select,
    Set,
    Sub,
    Then,
    To,
    True,
    Until,
    Wend,
    While,
    With,
    Xor,
};

struct Token {
    Tok kind = Tok::End;
    Kw kw = Kw::None;
    bool bracketed = false;  // [name]: never a keyword
    bool spaceBefore = false;
    int line = 0;  // 0-based
    int col = 0;   // 0-based
    WString text;  // names as written; string literal contents; operator text
    int32_t ival = 0;
    int ivt = 0;
    double dval = 0;
};

// ---- errors ----

// A compile (syntax) error: VBScript error number, 0-based position.
struct SyntaxError {
    int number = 0;
    int line = 0;
    int col = 0;
};

// The message text of a VBScript error number ("" when unknown).
const char16_t* ErrorText(int number);

// ---- expressions ----

enum class EK : uint8_t {
    Const,    // literal value
    Ident,    // a bare name
    Member,   // obj.name
    Call,     // target(args): call, index or default member
    WithDot,  // .name inside With
    Unary,    // - + Not
    Binary,   // operators
    New,      // New ClassName
    Me,
    Nothing,
    Paren,  // (expr): forces by-value passing
};

enum class Op : uint8_t {
    Neg,
    Plus,
    Not,
    Pow,
    Mul,
    Div,
    IDiv,
    Mod,
    Add,
    Sub,
    Concat,
    Eq,
    Ne,
    Lt,
    Gt,
    Le,
    Ge,
    Is,
    And,
    Or,
    Xor,
    Eqv,
    Imp,
};

// Constant kinds kept in the tree (turned into values by the interpreter).
enum class CK : uint8_t { Empty, Null, Bool, Int2, Int4, Double, String, Date };

struct Proc;
struct ClassDecl;

struct Expr {
    EK kind;
    int line = 0, col = 0;
    explicit Expr(EK k) : kind(k) {}
    virtual ~Expr() = default;
};
using ExprP = std::unique_ptr<Expr>;

struct ConstExpr : Expr {
    CK ck = CK::Empty;
    bool negated = false;  // -5: a computed value, not a literal, in comparisons
    int32_t i = 0;
    double d = 0;
    WString s;
    ConstExpr() : Expr(EK::Const) {}
};

// Where a name was found when the procedure was compiled.
enum class Scope : uint8_t { Unresolved, Local, Dynamic };

struct IdentExpr : Expr {
    WString name;   // as written
    WString lname;  // lower case
    Scope scope = Scope::Unresolved;
    int slot = -1;  // local slot when scope == Local
    // Run-time cache of a global lookup (owned by the interpreter).
    mutable void* cache = nullptr;
    mutable uint32_t cacheGen = 0;
    IdentExpr() : Expr(EK::Ident) {}
};

struct MemberExpr : Expr {
    ExprP obj;
    WString name, lname;
    MemberExpr() : Expr(EK::Member) {}
};

struct CallExpr : Expr {
    ExprP target;
    std::vector<ExprP> args;  // null entries are omitted arguments
    CallExpr() : Expr(EK::Call) {}
};

struct WithDotExpr : Expr {
    WString name, lname;
    WithDotExpr() : Expr(EK::WithDot) {}
};

struct UnaryExpr : Expr {
    Op op = Op::Neg;
    ExprP e;
    UnaryExpr() : Expr(EK::Unary) {}
};

struct BinaryExpr : Expr {
    Op op = Op::Add;
    ExprP l, r;
    BinaryExpr() : Expr(EK::Binary) {}
};

struct NewExpr : Expr {
    WString name, lname;
    NewExpr() : Expr(EK::New) {}
};

struct ParenExpr : Expr {
    ExprP e;
    ParenExpr() : Expr(EK::Paren) {}
};

// ---- statements ----

enum class SK : uint8_t {
    Assign,
    Set,
    CallS,
    Dim,
    ReDim,
    Const,
    Erase,
    If,
    Select,
    For,
    ForEach,
    Do,
    While,
    Exit,
    OnError,
    With,
    OptionExplicit,
    MidAssign,
};

struct Stmt {
    SK kind;
    int line = 0, col = 0;
    explicit Stmt(SK k) : kind(k) {}
    virtual ~Stmt() = default;
};
using StmtP = std::unique_ptr<Stmt>;
using Block = std::vector<StmtP>;

struct AssignStmt : Stmt {  // also Set (kind SK::Set)
    ExprP lhs, rhs;
    explicit AssignStmt(SK k) : Stmt(k) {}
};

struct CallStmt : Stmt {
    ExprP call;  // Ident, Member, WithDot or Call
    CallStmt() : Stmt(SK::CallS) {}
};

struct DimVar {
    WString name, lname;
    IdentExpr* ref = nullptr;   // resolved target (owned by DimStmt::refs)
    std::vector<ExprP> bounds;  // ReDim bounds, or Dim constant bounds
    bool isArray = false;       // Dim a() or a(n)
};

struct DimStmt : Stmt {  // Dim / Public / Private variables, and ReDim
    std::vector<DimVar> vars;
    std::vector<std::unique_ptr<IdentExpr>> refs;
    bool preserve = false;
    explicit DimStmt(SK k) : Stmt(k) {}
};

struct ConstStmt : Stmt {
    std::vector<std::pair<std::unique_ptr<IdentExpr>, ExprP>> items;
    ConstStmt() : Stmt(SK::Const) {}
};

struct EraseStmt : Stmt {
    std::vector<ExprP> targets;
    EraseStmt() : Stmt(SK::Erase) {}
};

struct IfStmt : Stmt {
    std::vector<std::pair<ExprP, Block>> arms;  // If and ElseIf
    Block elseBlock;
    bool hasElse = false;
    IfStmt() : Stmt(SK::If) {}
};

struct CaseArm {
    // Each test: kind 0 value, 1 range (a To b), 2 Is <op> value
    struct Test {
        int kind = 0;
        Op op = Op::Eq;
        ExprP a, b;
    };
    std::vector<Test> tests;  // empty: Case Else
    Block body;
};

struct SelectStmt : Stmt {
    ExprP subject;
    std::vector<CaseArm> arms;
    SelectStmt() : Stmt(SK::Select) {}
};

struct ForStmt : Stmt {
    ExprP var;  // IdentExpr (or member of With in lenient scripts)
    ExprP from, to, step;
    Block body;
    ForStmt() : Stmt(SK::For) {}
};

struct ForEachStmt : Stmt {
    ExprP var;
    ExprP coll;
    Block body;
    ForEachStmt() : Stmt(SK::ForEach) {}
};

struct DoStmt : Stmt {
    ExprP cond;             // may be null
    bool until = false;     // Until instead of While
    bool testFirst = true;  // Do While x ... Loop vs Do ... Loop While x
    Block body;
    DoStmt() : Stmt(SK::Do) {}
};

struct WhileStmt : Stmt {
    ExprP cond;
    Block body;
    WhileStmt() : Stmt(SK::While) {}
};

enum class ExitKind : uint8_t { Do, For, Sub, Function, Property };

struct ExitStmt : Stmt {
    ExitKind what = ExitKind::Do;
    ExitStmt() : Stmt(SK::Exit) {}
};

struct OnErrorStmt : Stmt {
    bool resumeNext = false;  // else GoTo 0
    OnErrorStmt() : Stmt(SK::OnError) {}
};

struct WithStmt : Stmt {
    ExprP obj;
    Block body;
    WithStmt() : Stmt(SK::With) {}
};

struct MidAssignStmt : Stmt {  // Mid(var, start[, len]) = text
    ExprP var, start, len, rhs;
    MidAssignStmt() : Stmt(SK::MidAssign) {}
};

struct OptionStmt : Stmt {
    OptionStmt() : Stmt(SK::OptionExplicit) {}
};

// ---- procedures and classes ----

enum class ProcKind : uint8_t { Sub, Function, PropGet, PropLet, PropSet };

struct Param {
    WString name, lname;
    bool byRef = true;
    bool isArray = false;
};

struct Proc {
    ProcKind kind = ProcKind::Sub;
    WString name, lname;
    bool isPublic = true;
    bool isDefault = false;
    std::vector<Param> params;       // slots 0..n-1
    int resultSlot = -1;             // Function / Property Get: the slot of its own name
    int nslots = 0;                  // params + result + locals
    std::vector<WString> slotNames;  // lower case, for Eval/Execute inside the proc
    std::vector<std::pair<int, const ConstExpr*>> consts;  // literal Const slots
    Block body;
    int line = 0;
    ClassDecl* cls = nullptr;
    const struct Program* program = nullptr;
};

struct ClassField {
    WString name, lname;
    bool isPublic = true;
    bool isArray = false;
    std::vector<int> bounds;  // fixed array bounds
};

struct ClassDecl {
    WString name, lname;
    std::vector<ClassField> fields;
    std::vector<std::unique_ptr<Proc>> procs;
    int line = 0;
};

// A parsed text: its immediate statements, procedures and classes. Global
// variables declared in it are found through Dim statements.
struct Program {
    Block body;
    std::vector<std::unique_ptr<Proc>> procs;
    std::vector<std::unique_ptr<ClassDecl>> classes;
    bool optionExplicit = false;
    std::vector<WString> lines;  // source lines, for error reports
    uintptr_t cookie = 0;        // the host's source context
    int firstLine = 0;
};

// Splits text into tokens. Throws SyntaxError.
std::vector<Token> Lex(WStringView src, int firstLine = 0);

// Parses a whole script. Throws SyntaxError.
std::unique_ptr<Program> Parse(WStringView src, int firstLine = 0);

// Parses one expression (the whole text). Throws SyntaxError.
ExprP ParseExpression(WStringView src, int firstLine = 0);

// Lower-case fold of a name (ASCII letters and the platform fold).
WString Fold(WStringView s);

}  // namespace vbs
