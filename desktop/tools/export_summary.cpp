#include "desktop/tools/export_summary.h"

#include "desktop/tools/export_data.h"
#include "platform/fs/fs.h"
#include "platform/text/text.h"

namespace zntools8 {
namespace {

constexpr const char kCrLf[] = "\r\n";
const std::string kIndent(21, ' ');

// The size of a file of the folder, its name matched without regard to case.
bool FileSize(const std::string& hostPath, uint64_t* size) {
    const WString device = fs::DevicePathFromHost(hostPath);
    if (device.empty()) return false;
    fs::File f;
    if (!f.Open(device, fs::kGenericRead, fs::kShareRead, fs::kOpenExisting)) return false;
    *size = f.Size();
    return true;
}

std::string FontList(const std::vector<std::string>& fonts) {
    std::string out;
    for (size_t i = 0; i < fonts.size(); ++i) {
        if (i) out += kCrLf + kIndent;
        out += fonts[i];
    }
    return out;
}

}  // namespace

std::string KilobyteText(uint64_t bytes) {
    uint64_t k = bytes / 1000;
    if (k == 0) k = 1;
    return "(" + std::to_string(k) + " kb)";
}

std::string BuildSummary(const SummaryInput& in) {
    uint64_t total = 0;
    auto sizeText = [&](const std::string& name, const char* ext) -> std::string {
        uint64_t size = 0;
        if (!FileSize(OutputPath(in.outputFolder, name + "." + ext), &size)) return "(missing)";
        total += size;
        return KilobyteText(size);
    };
    std::string blocks;
    for (const auto& layer : in.featureLayers) {
        const std::string name = layer->Name();
        blocks += "Feature Layer Name:  " + name + kCrLf;
        blocks += "Number of Features:  " + std::to_string(layer->FeatureClass()->FeatureCount()) +
                  kCrLf;
        blocks += "Size of -shp:        " + sizeText(name, "SHP") + kCrLf;
        blocks += "        -dbf:        " + sizeText(name, "DBF") + kCrLf;
        blocks += "        -shx:        " + sizeText(name, "SHX") + kCrLf;
        blocks += "        -znl:        " + sizeText(name, "ZNL") + kCrLf;
        blocks += std::string(kCrLf) + kCrLf;
    }
    for (const auto& layer : in.imageLayers) {
        const std::string name = layer->Name();
        blocks += "Image Layer Name:    " + name + kCrLf;
        uint64_t size = 0;
        if (FileSize(OutputPath(in.outputFolder, name + ".SID"), &size)) {
            total += size;
            blocks += "Size of -sid:        " + KilobyteText(size) + kCrLf + kCrLf;
        } else {
            blocks += std::string(kCrLf) + kCrLf;
        }
    }
    std::string projection = "No Projection";
    if (in.map)
        if (auto ref = in.map->SpatialReference()) projection = ref->Name();
    const size_t features = in.featureLayers.size(), images = in.imageLayers.size();
    std::string head;
    head += std::string("Summary") + kCrLf + "-------" + kCrLf + kCrLf;
    head += "Output Folder:       " + in.outputFolder + kCrLf;
    head += "Map Name:            " + in.mapName + ".znm" + kCrLf + kCrLf;
    head += "Projection:          " + projection + kCrLf;
    head += "Total File Size:     " + KilobyteText(total) + kCrLf + kCrLf;
    head += "Total Layers:        " + std::to_string(features + images) + kCrLf;
    head += "Feature Layers:      " + std::to_string(features) + kCrLf;
    head += "Image Layers         " + std::to_string(images) + kCrLf + kCrLf;
    std::string fonts;
    fonts += "Label Fonts:         " + FontList(in.labelFonts) + kCrLf;
    fonts += "Symbol Fonts:        " + FontList(in.symbolFonts) + kCrLf + kCrLf;
    return head + fonts + blocks;
}

bool WriteSummaryFile(const std::string& outputFolder, const std::string& report,
                      unsigned codePage, std::string* error) {
    const std::string bytes = text::ToCodePage(text::FromUtf8(report + kCrLf), codePage);
    const WString device = fs::DevicePathFromHost(OutputPath(outputFolder, "Summary.txt"));
    if (device.empty()) {
        *error = "The output folder is outside the device.";
        return false;
    }
    if (!fs::WriteWholeFile(device, bytes.data(), bytes.size())) {
        *error = text::ToUtf8(fs::ErrorText(fs::GetLastError()));
        return false;
    }
    return true;
}

}  // namespace zntools8
