#include "desktop/host/mrsid_encoder.h"

#include <gdal.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <mutex>

#include "desktop/host/host_faults.h"
#include "formats/sid/sid_decode.h"
#include "formats/sid/sid_encode.h"
#include "formats/sid/sid_file.h"
#include "map/layers/layer.h"
#include "platform/fs/fs.h"
#include "platform/text/text.h"

namespace host {
namespace {

#define ZN_OP(name) HostFaults::Check(name)

// Letters folded for comparing file names.
std::string Fold(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return s;
}

// The file of a folder named `name` without regard to case; empty if none.
std::string FindIgnoringCase(const std::filesystem::path& folder, const std::string& name) {
    std::error_code ec;
    if (std::filesystem::exists(folder / name, ec)) return (folder / name).string();
    const std::string want = Fold(name);
    for (const auto& e : std::filesystem::directory_iterator(folder, ec))
        if (Fold(e.path().filename().string()) == want && e.is_regular_file(ec)) return e.path().string();
    return {};
}

// The world file beside an image: the handheld's name for it (abc becomes
// acw), else GDAL's ".wld".
std::string SourceWorldFile(const std::string& image) {
    const std::filesystem::path p(image);
    const WString name = text::FromUtf8(p.filename().string());
    const std::string world = text::ToUtf8(GetWorldFilePath(name));
    std::string found = FindIgnoringCase(p.parent_path(), world);
    if (found.empty()) found = FindIgnoringCase(p.parent_path(), p.stem().string() + ".wld");
    return found;
}

bool ReadHostFile(const std::string& path, std::string* bytes) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    bytes->assign(std::istreambuf_iterator<char>(in), {});
    return !in.bad();
}

// A world file from an affine transform: the pixel sizes and rotations,
// then the outer corner of the upper-left pixel, as the handheld reads it.
std::string WorldFileText(const double gt[6]) {
    std::string out;
    for (double v : {gt[1], gt[4], gt[2], gt[5], gt[0], gt[3]}) {
        char buf[64];
        const auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::general, 15);
        out.append(buf, r.ptr);
        out += "\r\n";
    }
    return out;
}

// The affine transform of a world file's six numbers, whose lines 5 and 6
// name the centre of the upper-left pixel; false unless there are six.
bool CornerTransform(const std::string& text, double gt[6]) {
    double v[6];
    const char* p = text.data();
    const char* const end = p + text.size();
    for (double& n : v) {
        while (p < end && (*p == ' ' || *p == '\t' || *p == '\r' || *p == '\n')) ++p;
        if (p < end && *p == '+') ++p;
        const auto r = std::from_chars(p, end, n);  // "." whatever the locale
        if (r.ec != std::errc() || !std::isfinite(n)) return false;
        p = r.ptr;
    }
    gt[1] = v[0], gt[4] = v[1], gt[2] = v[2], gt[5] = v[3];
    gt[0] = v[4] - v[0] / 2 - v[2] / 2;
    gt[3] = v[5] - v[1] / 2 - v[3] / 2;
    return true;
}

void RegisterGdal() {
    static std::once_flag once;
    std::call_once(once, [] { GDALAllRegister(); });
}

struct DatasetCloser {
    GDALDatasetH h = nullptr;
    ~DatasetCloser() {
        if (h) GDALClose(h);
    }
};

// True for our own MrSID files (GDAL has no reader for them here).
bool IsSid(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    char magic[4] = {};
    return in.read(magic, 4) && std::string_view(magic, 4) == "msid";
}

class MrSidEncoder : public IHostMrSidEncoder {
public:
    void SetInput(const std::vector<std::shared_ptr<IHostName>>& names) override {
        ZN_OP("IHostMrSidEncoder::SetInput");
        if (names.size() != 1 || !names[0] || names[0]->NameKind() != IHostName::Kind::Raster)
            throw HostError("the encoder takes exactly one raster");
        const IHostName& n = *names[0];
        std::string folder = n.WorkspaceName() ? n.WorkspaceName()->PathName() : n.PathName();
        std::filesystem::path path = folder.empty() ? std::filesystem::path(n.Name()) : std::filesystem::path(folder) / n.Name();
        std::error_code ec;
        if (!std::filesystem::is_regular_file(path, ec)) throw HostError("cannot open " + path.string());
        input_ = path.string();
        bands_ = 0;
        order_.clear();
    }

    int BandCount() override {
        ZN_OP("IHostMrSidEncoder::BandCount");
        return Bands();
    }

    void SetBandOrder(const std::vector<int32_t>& order) override {
        ZN_OP("IHostMrSidEncoder::SetBandOrder");
        const int bands = Bands();
        std::vector<int32_t> sorted = order;
        std::sort(sorted.begin(), sorted.end());
        const bool distinct = std::adjacent_find(sorted.begin(), sorted.end()) == sorted.end();
        if (order.size() != 3 || !distinct || sorted.front() < 0 || sorted.back() >= bands)
            throw HostError("the band order must name three different bands of the image");
        order_ = order;
    }

    void SetCompressionRatio(float ratio) override {
        ZN_OP("IHostMrSidEncoder::SetCompressionRatio");
        if (!std::isfinite(ratio) || ratio <= 1.0f) throw HostError("the compression ratio must be above 1");
        ratio_ = ratio;
    }

    bool Encode(std::shared_ptr<IHostWorkspace> workspace, const std::string& name) override {
        ZN_OP("IHostMrSidEncoder::Encode");
        if (!workspace) throw HostError("no output workspace");
        if (name.empty()) throw HostError("no output name");
        const int bands = Bands();
        std::vector<int32_t> order = order_;
        if (order.empty()) {
            if (bands != 3) throw HostError("the band order must name three different bands of the image");
            order = {0, 1, 2};
        }
        int width = 0, height = 0;
        std::vector<uint8_t> pixels;
        std::string world;
        bool georeferenced = false;
        if (IsSid(input_)) {
            // A MrSID's world file is already in the handheld's reading.
            const std::string sourceWorld = SourceWorldFile(input_);
            if (!sourceWorld.empty()) {
                if (!ReadHostFile(sourceWorld, &world)) throw HostError("cannot read " + sourceWorld);
                georeferenced = true;
            }
            ReadSid(order, &width, &height, &pixels);
        } else {
            // GDAL places the image as the desktop shows it, a world file
            // beside it included (whose lines 5 and 6 name the centre of the
            // upper-left pixel); the handheld reads the outer corner there.
            double gt[6];
            ReadGdal(order, &width, &height, &pixels, gt, &georeferenced);
            const std::string sourceWorld = georeferenced ? std::string() : SourceWorldFile(input_);
            if (!sourceWorld.empty()) {
                // One GDAL does not find (another letter case): the same reading.
                std::string text;
                if (!ReadHostFile(sourceWorld, &text)) throw HostError("cannot read " + sourceWorld);
                georeferenced = CornerTransform(text, gt);
                if (!georeferenced)
                    throw HostError("the world file " + sourceWorld + " cannot be read");
            }
            if (georeferenced) world = WorldFileText(gt);
        }
        const std::filesystem::path out = std::filesystem::path(workspace->PathName()) / name;
        SidEncodeSettings settings;
        settings.ratio = ratio_;
        SidBytes file;
        if (SidEncodeImage(pixels.data(), static_cast<uint32_t>(width), static_cast<uint32_t>(height), 3,
                           static_cast<size_t>(width) * 3, settings, &file) != kSidOk)
            throw HostError("the image could not be encoded");
        std::filesystem::path sdw = out;
        sdw.replace_extension(".sdw");
        if (!fs::WriteWholeHostFile(out.string(), file.data(), file.size()))
            throw HostError("cannot write " + out.string());
        if (!georeferenced) return false;
        if (!fs::WriteWholeHostFile(sdw.string(), world.data(), world.size()))
            throw HostError("cannot write " + sdw.string());
        return true;
    }

private:
    int Bands() {
        if (input_.empty()) throw HostError("the encoder has no input");
        if (bands_) return bands_;
        if (IsSid(input_)) {
            int bands, levels, width, height;
            if (SidReadImageInfo(text::ToUtf8(fs::DevicePathFromHost(input_)).c_str(), &bands, &levels, &width,
                                 &height, nullptr) != kSidOk)
                throw HostError("cannot read " + input_);
            bands_ = bands;
            return bands_;
        }
        RegisterGdal();
        DatasetCloser d{GDALOpen(input_.c_str(), GA_ReadOnly)};
        if (!d.h) throw HostError("cannot read " + input_);
        bands_ = GDALGetRasterCount(d.h);
        if (bands_ < 1) throw HostError("cannot read " + input_);
        return bands_;
    }

    static void CheckSize(int64_t width, int64_t height) {
        if (width < 1 || height < 1 || width > kSidMaxSize || height > kSidMaxSize ||
            width * height > (int64_t{1} << 34))
            throw HostError("the image is too large to encode");
    }

    void ReadGdal(const std::vector<int32_t>& order, int* width, int* height, std::vector<uint8_t>* pixels,
                  double* gt, bool* georeferenced) {
        RegisterGdal();
        DatasetCloser d{GDALOpen(input_.c_str(), GA_ReadOnly)};
        if (!d.h) throw HostError("cannot read " + input_);
        const int w = GDALGetRasterXSize(d.h), h = GDALGetRasterYSize(d.h);
        CheckSize(w, h);
        for (int b : order)
            if (GDALGetRasterDataType(GDALGetRasterBand(d.h, b + 1)) != GDT_Byte)
                throw HostError("only 8-bit images are encoded");
        pixels->resize(static_cast<size_t>(w) * h * 3);
        for (int k = 0; k < 3; ++k) {
            GDALRasterBandH band = GDALGetRasterBand(d.h, order[static_cast<size_t>(k)] + 1);
            if (GDALRasterIO(band, GF_Read, 0, 0, w, h, pixels->data() + k, w, h, GDT_Byte, 3, 3 * w) != CE_None)
                throw HostError("cannot read " + input_);
        }
        if (gt && GDALGetGeoTransform(d.h, gt) == CE_None) *georeferenced = true;
        *width = w;
        *height = h;
    }

    void ReadSid(const std::vector<int32_t>& order, int* width, int* height, std::vector<uint8_t>* pixels) {
        const std::string device = text::ToUtf8(fs::DevicePathFromHost(input_));
        int bands, levels, w, h;
        if (SidReadImageInfo(device.c_str(), &bands, &levels, &w, &h, nullptr) != kSidOk)
            throw HostError("cannot read " + input_);
        CheckSize(w, h);
        std::vector<uint8_t> decoded(static_cast<size_t>(w) * h * bands);
        // In strips, as a view may not ask for more than kSidMaxViewBytes.
        const int rows = std::max(1, static_cast<int>(kSidMaxViewBytes / (static_cast<uint64_t>(w) * bands)));
        for (int r0 = 0; r0 < h; r0 += rows) {
            const int r1 = std::min(h, r0 + rows) - 1;
            SidImage* image = nullptr;
            if (SidOpenImage(device.c_str(), &image, 0, 0, w - 1, r0, r1, w * bands) != kSidOk)
                throw HostError("cannot read " + input_);
            if (SidDecodeRegion(device.c_str(), image, nullptr, decoded.data() + static_cast<size_t>(r0) * w * bands,
                                {}) != kSidOk)
                throw HostError("cannot read " + input_);
            SidCloseImage(image);
        }
        pixels->resize(static_cast<size_t>(w) * h * 3);
        for (size_t i = 0; i < static_cast<size_t>(w) * h; ++i)
            for (int k = 0; k < 3; ++k) (*pixels)[3 * i + k] = decoded[i * bands + order[static_cast<size_t>(k)]];
        *width = w;
        *height = h;
    }

    std::string input_;
    int bands_ = 0;
    std::vector<int32_t> order_;
    float ratio_ = 20.0f;
};

}  // namespace

std::shared_ptr<IHostMrSidEncoder> NewMrSidEncoder() { return std::make_shared<MrSidEncoder>(); }

}  // namespace host
