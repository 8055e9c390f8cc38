#include "desktop/host/raster_dataset.h"

#include <gdal.h>
#include <ogr_srs_api.h>

#include <charconv>
#include <cstring>

#include "crs/coord_sys.h"
#include "desktop/host/host_faults.h"
#include "desktop/host/host_names.h"
#include "desktop/host/host_objects.h"
#include "desktop/host/ogr_workspace.h"
#include "desktop/host/raster_workspace.h"
#include "formats/sid/sid_file.h"
#include "formats/sid/sid_reader.h"
#include "map/layers/layer.h"
#include "platform/fs/fs.h"

namespace host {
namespace {

bool EndsWithNoCase(const std::string& s, const std::string& tail) {
    if (s.size() < tail.size()) return false;
    for (size_t i = 0; i < tail.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(s[s.size() - tail.size() + i])) != tail[i])
            return false;
    return true;
}

std::string LastErrorText() {
    const WString t = fs::ErrorText(fs::GetLastError());
    return t.empty() ? std::string("the file could not be written") : text::ToUtf8(t);
}

// Six numbers, one a line, as world files hold them.
bool ReadWorldFile(const WString& device, double (&out)[6]) {
    std::string bytes;
    if (!fs::ReadWholeFile(device, &bytes)) return false;
    const char* p = bytes.data();
    const char* end = p + bytes.size();
    for (double& v : out) {
        while (p < end && (*p == ' ' || *p == '\t' || *p == '\r' || *p == '\n')) ++p;
        if (p < end && *p == '+') ++p;
        auto res = std::from_chars(p, end, v);
        if (res.ec != std::errc()) return false;
        p = res.ptr;
    }
    return true;
}

class RasterDatasetObj : public IHostRasterDataset {
public:
    explicit RasterDatasetObj(std::string path) : m_path(std::move(path)) {
        m_device = fs::DevicePathFromHost(m_path);
        if (m_device.empty() || !fs::Exists(m_device)) throw HostError("data source not found: " + m_path);
        if (EndsWithNoCase(m_path, ".sid")) {
            int levels = 0;
            uint8_t version[3] = {};
            if (CSidReader::ReadInfo(m_device, &m_bands, &levels, &m_width, &m_height, version) !=
                kSidOk)
                throw HostError("not a MrSID image: " + m_path);
            m_format = "MrSID";
        } else {
            EnsureGdal();
            GDALDatasetH ds = GDALOpen(m_path.c_str(), GA_ReadOnly);
            if (!ds) throw HostError("the raster cannot be read: " + m_path);
            GDALDriverH d = GDALGetDatasetDriver(ds);
            m_format = d ? GDALGetDriverShortName(d) : "";
            m_width = GDALGetRasterXSize(ds);
            m_height = GDALGetRasterYSize(ds);
            m_bands = GDALGetRasterCount(ds);
            double gt[6];
            if (GDALGetGeoTransform(ds, gt) == CE_None) {
                m_hasGdalTransform = true;
                m_gdal[0] = gt[1];
                m_gdal[1] = gt[4];
                m_gdal[2] = gt[2];
                m_gdal[3] = gt[5];
                m_gdal[4] = gt[0] + gt[1] / 2 + gt[2] / 2;
                m_gdal[5] = gt[3] + gt[4] / 2 + gt[5] / 2;
            }
            if (OGRSpatialReferenceH srs = GDALGetSpatialRef(ds)) m_gdalPrj = PrjTextOfOsr(srs);
            GDALClose(ds);
        }
        std::string prj;
        const size_t dot = m_path.find_last_of('.');
        const std::string stem = dot == std::string::npos ? m_path : m_path.substr(0, dot);
        const WString prjDevice = fs::DevicePathFromHost(stem + ".prj");
        if (!prjDevice.empty() && fs::ReadWholeFile(prjDevice, &prj))
            m_reference = SpatialReferenceFromPrj(prj);
        else if (!m_gdalPrj.empty())
            m_reference = SpatialReferenceFromPrj(m_gdalPrj);
    }

    std::string Format() const override {
        HostFaults::Check("IHostRasterDataset::Format");
        return m_format;
    }
    std::string FilePath() const override {
        HostFaults::Check("IHostRasterDataset::FilePath");
        return m_path;
    }
    int BandCount() const override {
        HostFaults::Check("IHostRasterDataset::BandCount");
        return m_bands;
    }
    int Width() const override {
        HostFaults::Check("IHostRasterDataset::Width");
        return m_width;
    }
    int Height() const override {
        HostFaults::Check("IHostRasterDataset::Height");
        return m_height;
    }
    std::string CompleteName() const override {
        HostFaults::Check("IHostRasterDataset::CompleteName");
        return m_path;
    }
    std::shared_ptr<IHostName> FullName() const override {
        HostFaults::Check("IHostRasterDataset::FullName");
        const size_t slash = m_path.find_last_of('/');
        auto ws = NewHostName(IHostName::Kind::Workspace);
        ws->SetPathName(slash == std::string::npos ? "." : m_path.substr(0, slash));
        ws->SetFactoryProgId(kRasterWorkspaceFactory);
        auto n = NewHostName(IHostName::Kind::Raster);
        n->SetName(slash == std::string::npos ? m_path : m_path.substr(slash + 1));
        n->SetWorkspaceName(ws);
        return n;
    }
    std::shared_ptr<IHostSpatialReference> SpatialReference() const override {
        HostFaults::Check("IHostRasterDataset::SpatialReference");
        return m_reference;
    }
    void SetSpatialReference(std::shared_ptr<IHostSpatialReference> reference) override {
        HostFaults::Check("IHostRasterDataset::SetSpatialReference");
        if (!m_reference || !reference) return;
        auto mine = CoordSysOf(*m_reference);
        auto theirs = CoordSysOf(*reference);
        if (mine && theirs ? mine->IsEqual(theirs.get()) : m_reference->Text() == reference->Text())
            return;
        throw HostError("the raster is in " + m_reference->Name() + ", not in " + reference->Name());
    }
    bool GeoReference(double (&out)[6]) const override {
        HostFaults::Check("IHostRasterDataset::GeoReference");
        // Resolution finds the world file whatever the letter case of its name.
        if (ReadWorldFile(GetWorldFilePath(m_device), out)) return true;
        if (!m_hasGdalTransform) return false;
        std::memcpy(out, m_gdal, sizeof m_gdal);
        return true;
    }
    void Copy(const std::string& folder, const std::string& name) override {
        CopyTo(OpenFolder(folder), name);
    }
    void CopyTo(std::shared_ptr<IHostWorkspace> workspace, const std::string& name) override {
        HostFaults::Check("IHostRasterDataset::CopyTo");
        if (m_format != "MrSID") throw HostError("only MrSID datasets are copied");
        if (!workspace) throw HostError("no workspace");
        std::string stem = name;
        if (EndsWithNoCase(stem, ".sid")) stem.resize(stem.size() - 4);
        const std::string base = workspace->PathName() + "/" + stem;
        const WString sid = fs::DevicePathFromHost(base + ".sid");
        if (sid.empty()) throw HostError("a name the handheld cannot hold: " + base + ".sid");
        if (fs::Exists(sid)) throw HostError("already exists");
        // The handheld shows a .sid only with its .sdw, and reads its .clr.
        std::vector<std::pair<WString, WString>> files = {{m_device, sid}};
        const WString world = GetWorldFilePath(m_device);
        if (fs::Exists(world)) files.emplace_back(world, fs::DevicePathFromHost(base + ".sdw"));
        WString clr = m_device;
        clr.replace(clr.size() - 3, 3, u"clr");
        if (fs::Exists(clr)) files.emplace_back(clr, fs::DevicePathFromHost(base + ".clr"));
        std::vector<WString> temps;
        auto cleanup = [&] {
            for (const WString& t : temps) fs::DeleteFile(t);
        };
        for (const auto& [from, to] : files) {
            temps.push_back(to + u"~new");
            if (!fs::CopyFile(from, temps.back(), false)) {
                const std::string why = LastErrorText();
                cleanup();
                throw HostError("the raster could not be copied: " + why);
            }
        }
        fs::RenameSet set;
        for (size_t i = 0; i < files.size(); ++i) {
            if (!set.Replace(temps[i], files[i].second)) {
                const std::string why = LastErrorText();
                set.Rollback();
                cleanup();
                throw HostError("the raster could not be copied: " + why);
            }
        }
        set.Commit();
    }

private:
    static std::shared_ptr<IHostWorkspace> OpenFolder(const std::string& folder) {
        return OpenRasterWorkspace(folder);
    }

    std::string m_path;
    WString m_device;
    std::string m_format;
    int m_width = 0, m_height = 0, m_bands = 0;
    bool m_hasGdalTransform = false;
    double m_gdal[6] = {};
    std::string m_gdalPrj;
    std::shared_ptr<IHostSpatialReference> m_reference;
};

}  // namespace

std::shared_ptr<IHostRasterDataset> OpenRasterDataset(const std::string& hostPath) {
    return std::make_shared<RasterDatasetObj>(hostPath);
}

}  // namespace host
