// The VBScript interpreter: walks the syntax tree over VARIANT values.
// One Interp holds one script namespace (globals, procedures, classes, named
// items); the engine object wraps it in the script engine interface.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <unordered_map>
#include <vector>

#include "platform/res/locale.h"
#include "platform/scripting/vbscript/vbs_ast.h"
#include "platform/scripting/vbscript/vbs_value.h"

namespace vbs {

class Interp;
class ClassInstance;
struct ClassInfo;
struct Frame;

// One argument of a call: a reference to storage (by-reference passing) or a value.
struct Arg {
    Value val;
    VARIANT* ref = nullptr;
    bool missing = false;
    const VARIANT* Get() const { return ref ? Target(ref) : &val; }
};
using ArgList = std::vector<Arg>;

// IDispatch objects implemented by the engine itself (Err, RegExp, class
// instances, procedure references). The interpreter calls them directly with
// by-reference arguments; hosts call them through Invoke.
class DispatchBase : public IDispatch {
public:
    DispatchBase() = default;
    virtual ~DispatchBase() = default;
    HRESULT QueryInterface(REFIID iid, void** out) override;
    uint32_t AddRef() override { return ++refs_; }
    uint32_t Release() override;
    HRESULT GetTypeInfoCount(uint32_t* count) override;
    HRESULT GetTypeInfo(uint32_t, LCID, ITypeInfo** out) override;
    HRESULT GetIDsOfNames(REFIID, const OLECHAR* const* names, uint32_t count, LCID,
                          DISPID* ids) override;
    HRESULT Invoke(DISPID id, REFIID, LCID, uint16_t flags, DISPPARAMS* params, VARIANT* result,
                   EXCEPINFO* excep, uint32_t* argErr) override;

    // Member id of a lower-case name, or DISPID_UNKNOWN. caller is the class
    // instance whose code asks (private members are visible to it).
    virtual DISPID FindMember(const WString& lname, const ClassInstance* caller) const = 0;
    // Calls a member; throws VbsError.
    virtual void Call(DISPID id, uint16_t flags, ArgList& args, Value* result) = 0;
    // Name shown by TypeName.
    virtual WString ClassName() const = 0;

protected:
    // Called when the count reaches 0; deletes by default.
    virtual void LastRelease() { delete this; }
    std::atomic<uint32_t> refs_{0};
};

// Host-facing hooks that the engine supplies.
struct InterpHost {
    virtual ~InterpHost() = default;
    // The object of a named item (a new reference), or null.
    virtual IDispatch* ItemObject(const WString& name) = 0;
    // MsgBox: returns the button pressed (vbOK = 1 ...).
    virtual int MessageBox(const WString& text, const WString& title, int flags) = 0;
    // InputBox: false when cancelled.
    virtual bool InputBox(const WString& prompt, const WString& title, const WString& def,
                          WString* out) = 0;
    // True once the engine was closed from inside running code: the rest of
    // that code is abandoned.
    virtual bool Stopped() { return false; }
};

struct Binding {
    enum Kind : uint8_t { Var, Const, ProcB, ClassB, Builtin, Item, Member } kind = Var;
    Value value;
    const Proc* proc = nullptr;
    const ClassInfo* cls = nullptr;
    int builtin = -1;
    int item = -1;
    DISPID dispid = 0;
};

struct NamedItem {
    WString name, lname;
    uint32_t flags = 0;
    ComPtr<IDispatch> obj;
    bool asked = false;
};

class Interp {
public:
    explicit Interp(InterpHost* host);
    ~Interp();
    Interp(const Interp&) = delete;
    Interp& operator=(const Interp&) = delete;

    // ---- named items ----
    void AddNamedItem(WStringView name, uint32_t flags);
    // Releases the items' objects (the names stay registered when keepNames).
    void ReleaseItems(bool keepNames);
    const std::vector<NamedItem>& Items() const { return items_; }
    IDispatch* ItemObject(int index);

    // ---- code ----
    // Parses a script text and defines its procedures and classes. Throws
    // SyntaxError (with the program's lines kept for the report).
    Program* Compile(WStringView text, int startLine, uintptr_t cookie);
    // Runs a compiled program's immediate code. Throws VbsError.
    void Run(Program* p);
    // Frees a program that defined no procedures or classes once its code ran
    // (long-running engines execute many such texts).
    void Discard(Program* p);
    size_t ProgramCount() const { return programs_.size(); }
    // Evaluates an expression text in the global scope. Throws SyntaxError / VbsError.
    void EvaluateText(WStringView text, int startLine, Value* out);
    // A global Sub or Function by lower-case name, or null.
    const Proc* FindProc(const WString& lname) const;
    // Calls a procedure with arguments (by reference where given). Throws VbsError.
    void CallProc(const Proc* p, ClassInstance* me, ArgList& args, Value* result);
    // Runs a handler body compiled as a program.
    void RunHandler(Program* p) { Run(p); }

    // ---- global namespace as a dispatch object ----
    IDispatch* GlobalDispatch();
    DISPID GlobalDispId(const WString& lname);
    void GlobalInvoke(DISPID id, uint16_t flags, ArgList& args, Value* result);

    // Source line text of an error's position ("" when unknown).
    static WString LineText(const Program* p, int line);

    // ---- used by built-ins and objects ----
    InterpHost* Host() { return host_; }
    class ErrObject* Err() {
        return err_;
    }
    void SetErr(const VbsError& e);
    void ClearErr();
    // Calls a member of an object value by name (late bound).
    void CallMember(const VARIANT* obj, const WString& name, const WString& lname, uint16_t flags,
                    ArgList& args, Value* result, const ClassInstance* caller = nullptr);
    // Default member call / array index of a value.
    void CallDefault(const VARIANT* v, ArgList& args, uint16_t flags, Value* result);
    WString TypeName(const VARIANT* v);
    void EvalCode(WStringView text, Frame* caller, Value* out);
    void ExecuteCode(WStringView text, Frame* caller, bool global);
    IDispatch* MakeProcRef(const Proc* p);
    double RandomNext(double arg, bool hasArg);
    void Randomize(double seed, bool hasSeed);
    bool Alive() const { return alive_; }
    // The script locale (SetLocale, GetLocale): the user's to start with.
    DWORD Locale() const { return lcid_; }
    // False for an id the locale table does not hold.
    bool SetLocale(DWORD lcid);
    Frame* CurrentFrame() { return cur_; }
    void Close();

    // Builtin table entry
    using BuiltinFn = void (*)(Interp& in, ArgList& args, Value* out);
    struct BuiltinDef {
        const char16_t* name;
        BuiltinFn fn;
        int minArgs, maxArgs;
    };

private:
    struct CachedExpression {
        std::unique_ptr<Program> prog;
        ExprP expr;
    };
    static constexpr size_t kMaxCachedExpressions = 256;
    std::unordered_map<WString, std::shared_ptr<CachedExpression>> expressions_;

    friend class ClassInstance;
    friend class GlobalDispatchObj;
    enum class Flow { Normal, ExitDo, ExitFor, ExitProc };

    void DefineProgram(Program* p);
    // Defines or redefines a global constant.
    void DefineConst(const WString& lname, Value& v);
    void DefineBuiltins();
    Binding* Bind(const WString& lname);
    Binding* NewBinding(const WString& lname, Binding::Kind kind);
    Binding* Resolve(const IdentExpr* id);
    Binding* ResolveName(const WString& lname);

    Flow ExecBlock(const Block& b, Frame& f);
    Flow ExecStmt(const Stmt* s, Frame& f);
    // ExecStmt with allocation failures turned into the language's errors.
    Flow ExecGuarded(const Stmt* s, Frame& f);
    Flow ExecFor(const ForStmt* s, Frame& f);
    Flow ExecForEach(const ForEachStmt* s, Frame& f);
    void ExecDim(const DimStmt* s, Frame& f);
    void ExecReDim(const DimStmt* s, Frame& f);
    void ExecSelect(const SelectStmt* s, Frame& f, Flow* flow);
    void ExecCallStmt(const CallStmt* s, Frame& f);
    void ExecMidAssign(const MidAssignStmt* s, Frame& f);

    void Eval(const Expr* e, Frame& f, Value* out);
    void EvalValue(const Expr* e, Frame& f, Value* out);
    // A pointer to the value without copying when the expression is a
    // variable; else evaluates into tmp.
    const VARIANT* EvalBorrow(const Expr* e, Frame& f, Value* tmp);
    void EvalIdent(const IdentExpr* id, Frame& f, Value* out);
    void EvalBinary(const BinaryExpr* b, Frame& f, Value* out);
    void EvalCall(const CallExpr* c, Frame& f, Value* out, bool isStmt);
    void EvalMember(const MemberExpr* m, Frame& f, Value* out);
    const VARIANT* WithObject(Frame& f);
    void NewObject(const NewExpr* n, Value* out);

    // Storage of a variable name, or null when the name is no variable.
    // declare: Dim and ReDim make the name even under Option Explicit.
    VARIANT* VarRef(const IdentExpr* id, Frame& f, bool create, bool declare = false);
    VARIANT* NameRef(const WString& lname, Frame& f);
    // A reference for by-reference passing, or null.
    VARIANT* ArgRef(const Expr* e, Frame& f, std::vector<SAFEARRAY*>* locks);
    // Storage an assignment can write into: a variable, a field of a class
    // instance (the instance held in hold) or an element of either; else null.
    VARIANT* StorageOf(const Expr* e, Frame& f, Value* hold);
    void BuildArgs(const std::vector<ExprP>& exprs, Frame& f, ArgList& args,
                   std::vector<SAFEARRAY*>* locks);
    VARIANT* ElementRef(VARIANT* arr, const ArgList& idx);
    void AssignTo(const Expr* lhs, Frame& f, Value& v, bool isSet);
    void StoreVar(VARIANT* dst, Value& v);
    void CallIdent(const IdentExpr* id, Frame& f, ArgList& args, Value* out, bool isStmt);
    void CallBuiltin(int index, ArgList& args, Value* out);
    // Invoke on a foreign object with the language's argument passing.
    void InvokeHost(IDispatch* d, DISPID id, uint16_t flags, ArgList& args, Value* result,
                    WStringView name);

    InterpHost* host_;
    std::vector<std::unique_ptr<Program>> programs_;
    std::vector<std::unique_ptr<ClassInfo>> classes_;
    std::unordered_map<WString, Binding*> bindings_;
    std::vector<std::unique_ptr<Binding>> bindingStore_;
    uint32_t gen_ = 1;
    std::vector<NamedItem> items_;
    std::vector<BuiltinDef> builtins_;
    class ErrObject* err_ = nullptr;
    IDispatch* globalDisp_ = nullptr;
    std::vector<WString> globalNames_;  // DISPID - 1 -> name
    Frame* cur_ = nullptr;
    int depth_ = 0;
    bool alive_ = true;
    uint32_t rnd_ = 0x50000;
    DWORD lcid_ = 0x0409;
    const res::LocaleFormats* formats_ = nullptr;
    float lastRnd_ = 0;
    std::shared_ptr<bool> aliveFlag_;
    friend struct ClassInfo;

public:
    std::shared_ptr<bool> AliveFlag() const { return aliveFlag_; }
};

// Lookup of the built-in function table (defined in vbs_builtins.cpp).
const std::vector<Interp::BuiltinDef>& BuiltinTable();
// Built-in constants (vbCrLf, vbTextCompare, ...): false when unknown.
bool BuiltinConstant(const WString& lname, Value* out);
// New RegExp object.
IDispatch* NewRegExp();

}  // namespace vbs
