// The program's path value: one text with `\` separators, taken apart and
// put together by plain text rules (no normalisation: the text stays as
// set), plus a few queries on the file it names through the device file
// system.
#pragma once

#include <cstdint>

#include "platform/text/text.h"
#include "platform/types.h"

class CPath {
public:
    CPath() = default;
    // A null text gives the empty path.
    explicit CPath(const WChar* text) { Set(text); }
    explicit CPath(WStringView text) : m_path(text) {}
    // The full file name of a module (0: the program itself).
    explicit CPath(HMODULE module) { SetToModuleFileName(module); }
    virtual ~CPath() = default;

    void Set(const WChar* text) { m_path = text ? WString(text) : WString(); }
    void Set(WStringView text) { m_path = text; }
    const WString& GetPath() const { return m_path; }
    bool IsEmpty() const { return m_path.empty(); }
    // Module 0 is the program's own file. Other modules are not known to
    // this layer: the path is emptied and false returned.
    bool SetToModuleFileName(HMODULE module);

    // The text before the last `\` (empty when that is the first character);
    // without a `\`, the drive ("A:") when the text holds a colon, else empty.
    WString GetDirectory() const;
    // The directory and `\`, or empty when the directory is empty.
    WString GetDirectoryWithSlash() const;
    // After the last `\`, else after the last `:`, else the whole text.
    WString GetFileName() const;
    // The file name up to its last dot.
    WString GetTitle() const;
    // The file name's extension from its last dot (with or without the
    // dot); empty when the file name has none. Dots in folder names do not
    // count: `\a.b\readme` has no extension.
    WString GetExtension(bool withDot = true) const;
    WString GetPathWithoutExtension() const;

    // directory + `\` + file name; an empty directory gives `\` + name.
    void SetDirectory(WStringView directory);
    void SetFileName(WStringView name);
    // Keeps the extension; with none, no dot is written.
    void SetTitle(WStringView title);
    // The extension is given without its dot; empty removes it.
    void SetExtension(WStringView extension);
    bool HasDrive() const;

    bool Exists() const;
    bool DeleteFile() const;
    // Replaces the file name by the name as stored (its letter case).
    bool CorrectCase();
    bool GetFileSize(uint64_t* size) const;
    bool GetFileSize(uint32_t* low, uint32_t* high) const;
    uint32_t GetFileSizeLow() const;
    // Free bytes available to the caller on the volume of the directory.
    bool GetDiskFreeSpace(uint64_t* freeBytes) const;
    // The same, saturated at 0xFFFFFFFF (0 on failure).
    uint32_t GetFreeBytes() const;
    // Creates the file (it must not exist) and writes the 8-bit text when
    // one is given. A file whose text could not be written is removed again
    // and false returned.
    bool CreateWithText(const char* text) const;
    // Looks for the file in a subfolder of its folder, then in the parent
    // and grandparent folders and their subfolders.
    bool FindNearby(const WChar* subfolder);

private:
    WString m_path;
};

// True when the platform's attribute query succeeds for the name.
bool FileExists(WStringView name);
// The file name of a path (no folder). 0 on success; when the buffer (size
// in characters, terminator included) is too small, the size it needs.
int GetFileTitleOf(const WChar* path, WChar* buffer, unsigned size);
