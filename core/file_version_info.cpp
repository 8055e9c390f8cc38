#include "core/file_version_info.h"

#include "platform/fs/fs.h"
#include "platform/res/resource.h"

namespace {
WString VersionText(DWORD ms, DWORD ls) {
    return text::Format(u"%d.%d.%d.%d", HIWORD(ms), LOWORD(ms), HIWORD(ls), LOWORD(ls));
}
}  // namespace

CFileVersionInfo::CFileVersionInfo() {
    m_fileName = fs::GetModuleFileName();
    Load(res::GetProgramModule());
}

CFileVersionInfo::CFileVersionInfo(HINSTANCE module) {
    Load(module);
}

CFileVersionInfo::CFileVersionInfo(const WString& path) {
    m_fileName = path;
    WString resPath = path;
    size_t slash = resPath.find_last_of(u'\\');
    size_t dot = resPath.find_last_of(u'.');
    bool hasExt = dot != WString::npos && (slash == WString::npos || dot > slash);
    if (!hasExt || !text::EqualsNoCase(WStringView(resPath).substr(dot), u".res"))
        resPath = (hasExt ? resPath.substr(0, dot) : resPath) + u".res";
    auto module = res::ResourceModule::FromFile(fs::HostPath(resPath));
    if (!module) return;
    // Loaded for the call, then freed, as a library would be.
    HINSTANCE h = res::RegisterModule(module);
    Load(h);
    res::UnregisterModule(h);
}

bool CFileVersionInfo::Load(HINSTANCE module) {
    m_info = res::VS_FIXEDFILEINFO{};
    if (!module) return false;
    auto vi = res::ParseVersionInfo(res::FindResourceData(module, res::RT_VERSION, WORD(1)));
    if (!vi) return false;
    m_info = vi->fixed;
    return true;
}

WString CFileVersionInfo::GetProductVersion() const {
    return VersionText(m_info.dwProductVersionMS, m_info.dwProductVersionLS);
}

WString CFileVersionInfo::GetFileVersion() const {
    return VersionText(m_info.dwFileVersionMS, m_info.dwFileVersionLS);
}
