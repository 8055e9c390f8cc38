// The fixed version record of a module's version resource and the module's
// file name. A module here is a resource module: the program's own embedded
// resources, a registered module, or the .res file that sits beside a
// library (extension.so -> extension.res).
#pragma once

#include "platform/res/version.h"
#include "platform/text/text.h"
#include "platform/types.h"

class CFileVersionInfo {
public:
    // The program's own version.
    CFileVersionInfo();
    // A loaded (registered) resource module's version.
    explicit CFileVersionInfo(HINSTANCE module);
    // A library file (device path): its resources are read from the .res
    // file of the same name beside it, or from the path itself when it names
    // a .res file.
    explicit CFileVersionInfo(const WString& path);
    virtual ~CFileVersionInfo() = default;

    // Reads version resource 1; false when there is none (the values stay 0).
    bool Load(HINSTANCE module);

    // "%d.%d.%d.%d": high and low 16 bits of the high part, then of the low part.
    WString GetProductVersion() const;
    WString GetFileVersion() const;
    int GetProductMajor() const { return HIWORD(m_info.dwProductVersionMS); }
    int GetProductBuild() const { return HIWORD(m_info.dwProductVersionLS); }
    DWORD GetProductVersionMS() const { return m_info.dwProductVersionMS; }
    DWORD GetProductVersionLS() const { return m_info.dwProductVersionLS; }
    bool IsDebugBuild() const { return (m_info.dwFileFlags & 1) != 0; }
    bool IsPrerelease() const { return (m_info.dwFileFlags & 2) != 0; }
    const res::VS_FIXEDFILEINFO& GetFixedInfo() const { return m_info; }
    const WString& GetFileName() const { return m_fileName; }

private:
    res::VS_FIXEDFILEINFO m_info;
    WString m_fileName;
};
