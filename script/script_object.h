// The bases of every script object: CScriptObject for objects without
// events, CScriptConnectable for event sources. They are the platform's
// dispatch and connectable objects plus the class's identity in the type
// library: its interface, its coclass and, for a source, its event
// interface. A class T provides
//
//     static const InterfaceDesc& Desc();   // its one InterfaceBuilder table
//     static const CoclassDesc& Class();    // default interface Desc(), and
//                                           // the default source for events
//
// and registers its coclass with the library when its first object is made.
// Objects start with a count of 0; the creator AddRef's what it keeps.
#pragma once

#include "platform/com/objects.h"
#include "script/type_library.h"

template <class T>
class CScriptObject : public DispatchObject<T> {
public:
    static const IID& InterfaceIid() { return T::Desc().iid; }
    static const CoclassDesc& Coclass() { return T::Class(); }

protected:
    CScriptObject() { RegisterScriptCoclass(T::Class()); }
};

template <class T>
class CScriptConnectable : public ConnectableObject<T> {
public:
    static const IID& InterfaceIid() { return T::Desc().iid; }
    static const CoclassDesc& Coclass() { return T::Class(); }
    // The coclass's default source interface.
    static const IID& EventIid() { return T::Class().defaultSource->iid; }

protected:
    CScriptConnectable() { RegisterScriptCoclass(T::Class()); }
};
