// Objects of the engine itself: class instances, the Err object, procedure
// references and the global namespace dispatch.
#pragma once

#include "platform/scripting/vbscript/vbs_interp.h"

namespace vbs {

struct ClassInfo {
    const ClassDecl* decl = nullptr;
    struct Member {
        enum Kind : uint8_t { Field, Method, Prop } kind = Field;
        WString name;
        int field = -1;
        const Proc* method = nullptr;
        const Proc* get = nullptr;
        const Proc* let = nullptr;
        const Proc* set = nullptr;
        bool isPublic = true;
    };
    std::vector<Member> members;  // DISPID = index + 1
    std::unordered_map<WString, int> index;
    const Proc* init = nullptr;
    const Proc* term = nullptr;
    int defaultMember = -1;
};

class ClassInstance : public DispatchBase {
public:
    ClassInstance(Interp* in, const ClassInfo* info);
    DISPID FindMember(const WString& lname, const ClassInstance* caller) const override;
    void Call(DISPID id, uint16_t flags, ArgList& args, Value* result) override;
    WString ClassName() const override { return Owner() ? info_->decl->name : WString(u"Object"); }
    const ClassInfo* Info() const { return info_; }
    std::vector<Value>& Fields() { return fields_; }
    Interp* Owner() const { return alive_ && *alive_ ? in_ : nullptr; }

protected:
    void LastRelease() override;

private:
    Interp* in_;
    std::shared_ptr<bool> alive_;
    const ClassInfo* info_;
    std::vector<Value> fields_;
};

class ErrObject : public DispatchBase {
public:
    DISPID FindMember(const WString& lname, const ClassInstance*) const override;
    void Call(DISPID id, uint16_t flags, ArgList& args, Value* result) override;
    WString ClassName() const override { return u"Object"; }
    int32_t number = 0;
    WString description, source, helpFile;
    int32_t helpContext = 0;
};

// A procedure as an object: GetRef's result, called through its default member.
class ProcRef : public DispatchBase {
public:
    ProcRef(Interp* in, const Proc* p) : in_(in), alive_(in->AliveFlag()), proc_(p) {}
    DISPID FindMember(const WString& lname, const ClassInstance*) const override;
    void Call(DISPID id, uint16_t flags, ArgList& args, Value* result) override;
    WString ClassName() const override { return u"Object"; }

private:
    Interp* in_;
    std::shared_ptr<bool> alive_;
    const Proc* proc_;
};

// Arguments from a DISPPARAMS (natural order); typed by-reference arguments
// go through temporaries that WriteBack stores again.
// E_POINTER when an argument array or a by-reference argument is null.
HRESULT ArgsFromParams(DISPPARAMS* dp, ArgList& args, std::vector<Value>& temps, bool skipPutValue);
void WriteBack(DISPPARAMS* dp, ArgList& args, std::vector<Value>& temps);

}  // namespace vbs
