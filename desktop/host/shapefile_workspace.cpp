#include "desktop/host/shapefile_workspace.h"

#include <algorithm>
#include <cstring>

#include "core/file_stream.h"
#include "crs/wkt.h"
#include "desktop/host/feature_class_base.h"
#include "desktop/host/feature_cursor.h"
#include "desktop/host/host_faults.h"
#include "desktop/host/host_names.h"
#include "desktop/host/host_objects.h"
#include "formats/shape/shp_engine.h"
#include "formats/shape/spatial_index.h"
#include "platform/fs/fs.h"

namespace host {

const char* const kShapefileExtensions[7] = {".shp", ".shx", ".dbf", ".prj", ".cpg", ".sbn", ".sbx"};

WString ShapefileDevicePath(const std::string& folder, const std::string& name, const char* ext) {
    const std::string host = (folder.empty() ? std::string(".") : folder) + "/" + name + ext;
    const WString device = fs::DevicePathFromHost(host);
    if (device.empty()) throw HostError("a name the handheld cannot hold: " + host);
    return device;
}

bool ShapefileExists(const std::string& folder, const std::string& name) {
    for (int i = 0; i < 3; ++i)
        if (fs::Exists(ShapefileDevicePath(folder, name, kShapefileExtensions[i]))) return true;
    return false;
}

namespace {

bool SameName(const std::string& a, const std::string& b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

std::string LastErrorText() {
    const WString t = fs::ErrorText(fs::GetLastError());
    return t.empty() ? std::string("the file could not be written") : text::ToUtf8(t);
}

class ShapefileDataset : public IHostDataset {
public:
    ShapefileDataset(std::string folder, std::string name)
        : m_folder(std::move(folder)), m_name(std::move(name)) {}
    std::string Name() const override {
        HostFaults::Check("IHostDataset::Name");
        return m_name;
    }
    std::string BrowseName() const override {
        HostFaults::Check("IHostDataset::BrowseName");
        return m_name;
    }
    std::string Category() const override {
        HostFaults::Check("IHostDataset::Category");
        return "Shapefile Feature Class";
    }
    std::shared_ptr<IHostWorkspace> Workspace() const override {
        HostFaults::Check("IHostDataset::Workspace");
        return OpenShapefileWorkspace(m_folder);
    }
    std::shared_ptr<IHostName> FullName() const override {
        HostFaults::Check("IHostDataset::FullName");
        return FeatureClassName(m_folder, kShapefileWorkspaceFactory, m_name);
    }
    std::shared_ptr<IHostDataset> Copy(const std::string& name,
                                       std::shared_ptr<IHostWorkspace> workspace) override {
        HostFaults::Check("IHostDataset::Copy");
        if (!workspace || workspace->Kind() != WorkspaceKind::Shapefile)
            throw HostError("a shapefile is copied into a shapefile workspace only");
        CopyShapefileDataset(m_folder, m_name, workspace->PathName(), name);
        return std::make_shared<ShapefileDataset>(workspace->PathName(), name);
    }

private:
    std::string m_folder;
    std::string m_name;
};

class ShapefileFeatureClass : public HostFeatureClassBase {
public:
    ShapefileFeatureClass(std::string folder, std::string name, std::shared_ptr<ShpFileHandle> file)
        : m_folder(std::move(folder)), m_name(std::move(name)), m_file(std::move(file)) {
        DbfHandle t = ShpGetTable(m_file->Get());
        m_fields = TableFields(t);
        m_tableFields = m_fields.size();
        m_def = std::make_shared<HostGeometryDef>();
        const int type = ShpGetShapeType(m_file->Get());
        m_def->shapeType = type;
        m_def->hasZ = ShapeTypeHasZ(type);
        m_def->hasM = ShapeTypeHasM(type);
        std::string prj;
        if (fs::ReadWholeFile(ShapefileDevicePath(m_folder, m_name, ".prj"), &prj))
            m_def->reference = SpatialReferenceFromPrj(prj);
        m_def->languageDriverId = DbfGetLanguageDriverId(t);
        std::string cpg;
        if (fs::ReadWholeFile(ShapefileDevicePath(m_folder, m_name, ".cpg"), &cpg))
            m_def->codePageFile = cpg;
        AddIdAndShapeFields("FID");
    }

    int FeatureCount() const override {
        HostFaults::Check("IHostFeatureClass::FeatureCount");
        return ShpCountLiveRecords(m_file->Get());
    }
    std::unique_ptr<IHostFeatureCursor> Search(const IHostSpatialFilter* filter,
                                               bool recycling) override {
        HostFaults::Check("IHostFeatureClass::Search");
        return NewShapefileSearchCursor(m_file, filter, recycling, m_fields.size());
    }
    std::unique_ptr<IHostInsertCursor> Insert(bool buffered) override {
        HostFaults::Check("IHostFeatureClass::Insert");
        if (!ShpIsWritable(m_file->Get())) throw HostError("the shapefile is open for reading only");
        return NewShapefileInsertCursor(m_file, buffered);
    }
    HostFeature CreateFeatureBuffer() const override {
        HostFaults::Check("IHostFeatureClass::CreateFeatureBuffer");
        HostFeature f;
        f.shape.shapeType = m_def->shapeType;
        f.values.assign(m_fields.size(), std::monostate());
        return f;
    }
    void AddIndex(const std::string& name, const std::vector<std::string>& fields) override {
        HostFaults::Check("IHostFeatureClass::AddIndex");
        (void)name;  // the handheld finds the index by the shapefile's name
        if (fields.size() != 1 || !SameName(fields[0], "Shape"))
            throw HostError("only spatial indexes are supported");
        ShpHandle h = m_file->Get();
        if (ShpIsWritable(h) && !ShpFlush(h)) throw HostError(m_file->Reason());
        CSpatialIndex index;
        // What a failed build may leave: the new pair under its working name.
        auto leftovers = [&] {
            const uint32_t error = fs::GetLastError();
            for (const char* ext : {".sbn", ".sbx"})
                fs::DeleteFile(ShapefileDevicePath(m_folder, m_name + "~", ext));
            fs::SetLastError(error);
        };
        try {
            if (!index.Rebuild(h)) {
                leftovers();
                const WString t = fs::ErrorText(fs::GetLastError());
                throw HostError("the spatial index could not be written" +
                                (t.empty() ? std::string() : ": " + text::ToUtf8(t)));
            }
        } catch (const CFileException& e) {
            leftovers();
            throw HostError(std::string("the spatial index could not be written: ") + e.what());
        }
    }
    std::shared_ptr<IHostDataset> Dataset() const override {
        HostFaults::Check("IHostFeatureClass::Dataset");
        return std::make_shared<ShapefileDataset>(m_folder, m_name);
    }
    void Close() {
        std::string why;
        if (!m_file->Close(&why)) throw HostError(why);
    }

private:
    std::string m_folder;
    std::string m_name;
    std::shared_ptr<ShpFileHandle> m_file;
    size_t m_tableFields = 0;
};

// Removes the files a failed create made; the first error stays the caller's.
void RemoveFiles(const std::string& folder, const std::string& name) {
    for (const char* ext : kShapefileExtensions) fs::DeleteFile(ShapefileDevicePath(folder, name, ext));
}

std::shared_ptr<IHostFeatureClass> CreateClass(const std::string& folder, const std::string& name,
                                               const std::vector<HostField>& fields,
                                               const std::string& shapeField) {
    const HostField* shape = nullptr;
    std::vector<DbfFieldInfo> infos;
    for (const HostField& f : fields) {
        if (f.fieldType == kFieldGeometry || f.type == 'G') {
            if (SameName(f.name, shapeField)) shape = &f;
            continue;
        }
        if (f.fieldType == kFieldOID || f.type == 'I') continue;
        const WString w = text::FromUtf8(f.name);
        if (w.empty() || w.size() > 10) throw HostError("not a dBASE field name: " + f.name);
        DbfFieldInfo info{};
        std::copy(w.begin(), w.end(), info.name);
        info.type = f.type;
        info.length = static_cast<uint8_t>(std::clamp(f.length, 0, 255));
        info.decimals = static_cast<uint8_t>(std::clamp(f.decimals, 0, 255));
        infos.push_back(info);
    }
    if (!shape || !shape->geometryDef) throw HostError("no geometry field " + shapeField);
    const HostGeometryDef& def = *shape->geometryDef;
    if (!IsBuildableShapeType(def.shapeType)) throw HostError("a shape type shapefiles cannot hold");
    if (ShapefileExists(folder, name)) throw HostError("already exists");

    const WString shp = ShapefileDevicePath(folder, name, ".shp");
    ShpHandle h = ShpCreateEx(shp.c_str(), def.shapeType, 0, 1);
    if (!h) {
        const WChar* t = ShpGetErrorText(nullptr);
        const std::string why = t && *t ? text::ToUtf8(t) : LastErrorText();
        RemoveFiles(folder, name);
        throw HostError("the shapefile could not be created: " + why);
    }
    auto file = std::make_shared<ShpFileHandle>(h);
    auto fail = [&](const std::string& why) {
        file.reset();
        RemoveFiles(folder, name);
        throw HostError(why);
    };
    DbfHandle t = ShpGetTable(h);
    // The source's code page first (field names are written in it too): its
    // language driver, and its .cpg when it had one. A .cpg of an earlier
    // table of this name would otherwise decide how the handheld reads this one.
    const WString cpg = ShapefileDevicePath(folder, name, ".cpg");
    if (def.languageDriverId > 0) DbfSetLanguageDriverId(t, def.languageDriverId);
    if (!def.codePageFile.empty()) {
        if (!fs::WriteWholeFile(cpg, def.codePageFile.data(), def.codePageFile.size()))
            fail("the code page file could not be written: " + LastErrorText());
        if (const unsigned cp = DbfReadCpgFile(cpg.c_str())) DbfSetCodePage(t, cp);
    } else if (fs::Exists(cpg) && !fs::DeleteFile(cpg)) {
        fail("an old code page file could not be removed: " + LastErrorText());
    }
    if (!infos.empty() && !DbfAddFields(t, static_cast<int>(infos.size()), infos.data()))
        fail("the fields could not be written: " + text::ToUtf8(DbfGetErrorInfo(t)));
    const WString prj = ShapefileDevicePath(folder, name, ".prj");
    if (def.reference) {
        auto cs = CoordSysOf(*def.reference);
        bool ok;
        if (cs) {
            ok = ::WritePrjFile(prj, *cs);
        } else {
            const std::string text = def.reference->Text();
            ok = fs::WriteWholeFile(prj, text.data(), text.size());
        }
        if (!ok) fail("the projection file could not be written: " + LastErrorText());
    } else if (fs::Exists(prj) && !fs::DeleteFile(prj)) {
        fail("an old projection file could not be removed: " + LastErrorText());
    }
    if (!DbfWriteHeader(t, 1) || !ShpFlush(h)) fail(file->Reason());
    return std::make_shared<ShapefileFeatureClass>(folder, name, file);
}

class ShapefileWorkspace : public IHostWorkspace {
public:
    explicit ShapefileWorkspace(std::string folder) : m_folder(std::move(folder)) {}
    std::string PathName() const override {
        HostFaults::Check("IHostWorkspace::PathName");
        return m_folder;
    }
    WorkspaceKind Kind() const override {
        HostFaults::Check("IHostWorkspace::Kind");
        return WorkspaceKind::Shapefile;
    }
    std::shared_ptr<IHostFeatureClass> OpenFeatureClass(const std::string& name) override {
        HostFaults::Check("IHostWorkspace::OpenFeatureClass");
        return OpenShapefileClass(m_folder, name);
    }
    std::shared_ptr<IHostFeatureClass> CreateFeatureClass(const std::string& name,
                                                          const std::vector<HostField>& fields,
                                                          const std::string& shapeField) override {
        HostFaults::Check("IHostWorkspace::CreateFeatureClass");
        return CreateClass(m_folder, name, fields, shapeField);
    }

private:
    std::string m_folder;
};

}  // namespace

void CloseShapefileClass(std::shared_ptr<IHostFeatureClass>& cls) {
    auto* mine = dynamic_cast<ShapefileFeatureClass*>(cls.get());
    if (mine) mine->Close();
    cls.reset();
}

std::shared_ptr<IHostWorkspace> OpenShapefileWorkspace(const std::string& folder) {
    const WString device = fs::DevicePathFromHost(folder.empty() ? "." : folder);
    const uint32_t a = device.empty() ? fs::kInvalidAttributes : fs::GetFileAttributes(device);
    if (a == fs::kInvalidAttributes || !(a & fs::kAttrDirectory))
        throw HostError("not a folder: " + folder);
    return std::make_shared<ShapefileWorkspace>(folder);
}

std::shared_ptr<IHostFeatureClass> OpenShapefileClass(const std::string& folder,
                                                      const std::string& name) {
    const WString shp = ShapefileDevicePath(folder, name, ".shp");
    ShpHandle h = ShpOpen(shp.c_str(), 0);
    if (!h) {
        const WChar* t = ShpGetErrorText(nullptr);
        throw HostError("the shapefile cannot be opened: " + folder + "/" + name +
                        (t && *t ? " (" + text::ToUtf8(t) + ")" : std::string()));
    }
    return std::make_shared<ShapefileFeatureClass>(folder, name, std::make_shared<ShpFileHandle>(h));
}

void CopyShapefileDataset(const std::string& fromFolder, const std::string& fromName,
                          const std::string& toFolder, const std::string& toName) {
    if (ShapefileExists(toFolder, toName)) throw HostError("already exists");
    std::vector<std::pair<WString, WString>> moves;  // temporary -> final
    auto cleanup = [&]() {
        for (const auto& m : moves) fs::DeleteFile(m.first);
    };
    for (const char* ext : kShapefileExtensions) {
        const WString from = ShapefileDevicePath(fromFolder, fromName, ext);
        if (!fs::Exists(from)) continue;
        const WString to = ShapefileDevicePath(toFolder, toName, ext);
        const WString tmp = to + u"~new";
        moves.emplace_back(tmp, to);
        if (!fs::CopyFile(from, tmp, false)) {
            const std::string why = LastErrorText();
            cleanup();
            throw HostError("the shapefile could not be copied: " + why);
        }
    }
    fs::RenameSet set;
    for (const auto& m : moves) {
        if (!set.Move(m.first, m.second, true)) {
            const std::string why = LastErrorText();
            set.Rollback();
            cleanup();
            throw HostError("the shapefile could not be copied: " + why);
        }
    }
    if (!set.Commit()) {
        const std::string why = LastErrorText();
        set.Rollback();
        cleanup();
        throw HostError("the shapefile could not be copied: " + why);
    }
}

}  // namespace host
