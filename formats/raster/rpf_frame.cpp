#include "formats/raster/rpf_frame.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/fs/fs.h"

namespace {

const CRpfFrame::Series kSeries[] = {
    {"MM", "MM", "Maps and Charts"},
    {"I1", "CIB - 10M", "Controlled Image Base 10 meter resolution = 1:66666"},
    {"I2", "CIB - 5M", "Controlled Image Base 5 meter resolution = 1:33333"},
    {"I3", "CIB - 2M", "Controlled Image Base 2 meter resolution"},
    {"I4", "CIB - 1M", "Controlled Image Base 1 meter resolution"},
    {"CG", "CG", "City Graphics - Various scales"},
    {"OA", "OPAREA", "Naval Range Operating Area Chart - Various scales"},
    {"CO", "CO", "Coastal Charts - Various scales"},
    {"HA", "HA", "Harbor and Approach Charts - Various scales"},
    {"TL", "TLM 50", "Topographic Line Map 1:50,000"},
    {"TC", "TLM 100", "Topographic Line Map 1:100,000"},
    {"AT", "ATC", "Series 200 Air Target Chart 1:200,000"},
    {"TF", "TFC", "Transit Flying Chart (UK) 1:250,000"},
    {"JA", "JOG-A", "Joint Operations Graphic--Air 1:250,000"},
    {"JC", "JOG-C", "Joint Operations Graphic--Combined 1:250,000"},
    {"JG", "JOG-G", "Joint Operations Graphic--Ground 1:250,000"},
    {"JR", "JOG-R", "Joint Operations Graphic--RADAR 1:250,000"},
    {"LF", "LFC", "Low Flying Chart 1:500,000"},
    {"TP", "TPC", "Tactical Pilotage Chart 1:500,000"},
    {"ON", "ONC", "Operational Navigation Chart 1:1,000,000"},
    {"JN", "JNC", "Jet Navigation Chart 1:2,000,000"},
    {"GN", "GNC", "Global Navigation Chart 1:5,000,000"},
    {"", "UNKNOWN", "Unknown Code"},
};

constexpr int kCoverage = 130;
constexpr int kCompression = 131;
constexpr int kLookup = 132;
constexpr int kColourHeader = 134;
constexpr int kColourMap = 135;
constexpr int kImageDescription = 136;
constexpr int kMask = 138;
constexpr int kConverter = 139;
constexpr int kSpatialData = 140;
constexpr uint32_t kNone = 0xFFFFFFFF;
constexpr int kBlockBytes = 6144;  // one compressed subframe

const double kDefaultCoverage[12] = {1536, 0, 0, 0, 1536, 1536, 0, 1536, 1, 1, 1, 1};

// A decimal text field; -1 when it is not all digits.
int64_t DecimalField(const char* p, size_t n) {
    int64_t v = 0;
    for (size_t i = 0; i < n; ++i) {
        if (p[i] < '0' || p[i] > '9') return -1;
        v = v * 10 + (p[i] - '0');
    }
    return v;
}

}  // namespace

bool IsNitfFile(WStringView path) {
    fs::File f;
    if (!f.Open(path, fs::kGenericRead, fs::kShareRead | fs::kShareWrite, fs::kOpenExisting)) return false;
    char head[4];
    size_t n = 0;
    return f.Read(head, 4, &n) && n == 4 && std::memcmp(head, "NITF", 4) == 0;
}

CRpfFrame::CRpfFrame() : series_(&kSeries[std::size(kSeries) - 1]) {
    std::memcpy(coverage_, kDefaultCoverage, sizeof coverage_);
    std::fill(std::begin(offsets_), std::end(offsets_), -1);
    ResetColourMap();
}

CRpfFrame::~CRpfFrame() {
    Close();
}

const CRpfFrame::Series& CRpfFrame::SeriesForFileName(WStringView path) {
    const size_t slash = path.find_last_of(u"\\/");
    const WStringView name = slash == WStringView::npos ? path : path.substr(slash + 1);
    const size_t dot = name.find(u'.');
    if (dot != WStringView::npos && dot + 2 < name.size() + 1 && name.size() >= dot + 3) {
        const WChar a = text::ToUpperChar(name[dot + 1]), b = text::ToUpperChar(name[dot + 2]);
        for (const Series& s : kSeries)
            if (s.code[0] && a == static_cast<WChar>(s.code[0]) && b == static_cast<WChar>(s.code[1])) return s;
    }
    return kSeries[std::size(kSeries) - 1];
}

void CRpfFrame::Close() {
    if (stream_.IsOpen()) stream_.Abort();
    open_ = false;
    components_.clear();
    codebook_.clear();
    codebook_.shrink_to_fit();
}

bool CRpfFrame::Open(WStringView path) {
    Close();
    std::memcpy(coverage_, kDefaultCoverage, sizeof coverage_);
    std::fill(std::begin(offsets_), std::end(offsets_), -1);
    hasMask_ = false;
    paletteCount_ = 0;
    darkest_ = 0;
    ResetColourMap();
    series_ = &SeriesForFileName(path);
    bool ok = false;
    try {
        ok = ReadHeaders(path);
    } catch (...) {
        ok = false;
    }
    if (!ok) {
        Close();
        return false;
    }
    open_ = true;
    return true;
}

bool CRpfFrame::ReadHeaders(WStringView path) {
    if (!stream_.Open(path, CFileStream::modeRead | CFileStream::shareDenyWrite)) return false;
    length_ = stream_.GetLength();
    stream_.SetByteSwap(false);
    if (!SkipNitfHeader()) return false;
    // The RPF header.
    uint8_t order = 0;
    if (!ReadU8(&order)) return false;
    stream_.SetByteSwap(order == 0);  // 0: big-endian
    uint16_t headerLength;
    char name[12], newFlag, standard[15], date[8], classification, country[2], release[2];
    uint32_t locationSection;
    if (!ReadU16(&headerLength) || !ReadBytes(name, 12) || !ReadBytes(&newFlag, 1) || !ReadBytes(standard, 15) ||
        !ReadBytes(date, 8) || !ReadBytes(&classification, 1) || !ReadBytes(country, 2) || !ReadBytes(release, 2) ||
        !ReadU32(&locationSection))
        return false;
    if (std::memcmp(standard, "RDTED", 5) == 0)
        standard_ = 3;
    else if (standard[9] == '3' && standard[10] == '8')
        standard_ = 0;
    else if (standard[9] == '4' && standard[10] == '1')
        standard_ = 1;
    else if (standard[9] == '4' && standard[10] == '4')
        standard_ = 2;
    // The location section and its component records.
    uint16_t sectionLength, count, recordLength;
    uint32_t tableOffset, aggregate;
    if (!SeekTo(locationSection) || !ReadU16(&sectionLength) || !ReadU32(&tableOffset) || !ReadU16(&count) ||
        !ReadU16(&recordLength) || !ReadU32(&aggregate))
        return false;
    if (!SeekTo(static_cast<uint64_t>(locationSection) + tableOffset)) return false;
    if (static_cast<uint64_t>(count) * 10 > length_) return false;
    for (uint16_t i = 0; i < count; ++i) {
        Component c;
        if (!ReadU16(&c.id) || !ReadU32(&c.length) || !ReadU32(&c.location)) return false;
        components_.push_back(c);
    }
    if (!ReadImageDescription()) return false;
    ReadCoverage();
    return true;
}

// Steps over the NITF file header to the data of the RPFHDR extension in the
// user-defined header.
bool CRpfFrame::SkipNitfHeader() {
    char fixed[360];
    if (!ReadBytes(fixed, sizeof fixed) || std::memcmp(fixed, "NITF", 4) != 0) return false;
    // NITF 2.0 has 40 more bytes when the downgrade field says so.
    if (std::memcmp(fixed + 4, "02.00", 5) == 0 && std::memcmp(fixed + 280, "999998", 6) == 0) {
        char event[40];
        if (!ReadBytes(event, sizeof event)) return false;
    }
    static const int kEntrySizes[6] = {16, 10, 7, 9, 13, 11};
    for (int size : kEntrySizes) {
        char digits[3];
        if (!ReadBytes(digits, 3)) return false;
        const int64_t n = DecimalField(digits, 3);
        if (n < 0 || !SeekTo(stream_.GetPosition() + static_cast<uint64_t>(n) * size)) return false;
    }
    char field[5];
    if (!ReadBytes(field, 5)) return false;
    const int64_t userLength = DecimalField(field, 5);
    if (userLength < 3) return false;
    char overflow[3];
    if (!ReadBytes(overflow, 3)) return false;
    const uint64_t end = stream_.GetPosition() + static_cast<uint64_t>(userLength) - 3;
    if (end > length_) return false;
    // Extensions by tag and length, until the RPF header.
    while (stream_.GetPosition() + 11 <= end) {
        char tag[6], len[5];
        if (!ReadBytes(tag, 6) || !ReadBytes(len, 5)) return false;
        const int64_t n = DecimalField(len, 5);
        if (n < 0) return false;
        if (std::memcmp(tag, "RPFHDR", 6) == 0) return stream_.GetPosition() + static_cast<uint64_t>(n) <= end;
        if (!SeekTo(stream_.GetPosition() + static_cast<uint64_t>(n))) return false;
    }
    return false;
}

bool CRpfFrame::ReadImageDescription() {
    if (!SeekToComponent(kImageDescription)) {
        // Without a description: 6 x 6 subframes one after the other.
        for (int i = 0; i < kSubframes * kSubframes; ++i) offsets_[i] = static_cast<int64_t>(i) * kBlockBytes;
        return true;
    }
    uint16_t counts[6];
    uint32_t columns, rows, maskOffset, transparencyOffset;
    for (uint16_t& c : counts)
        if (!ReadU16(&c)) return false;
    if (!ReadU32(&columns) || !ReadU32(&rows) || !ReadU32(&maskOffset) || !ReadU32(&transparencyOffset))
        return false;
    // Every table and buffer is sized for this layout.
    if (counts[4] != kSubframes || counts[5] != kSubframes || columns != kSubframeSize || rows != kSubframeSize)
        return false;
    if (maskOffset == kNone) {
        for (int i = 0; i < kSubframes * kSubframes; ++i) offsets_[i] = static_cast<int64_t>(i) * kBlockBytes;
        return true;
    }
    if (!SeekToComponent(kMask, maskOffset)) return false;
    hasMask_ = true;
    for (int i = 0; i < kSubframes * kSubframes; ++i) {
        uint32_t v;
        if (!ReadU32(&v)) return false;
        offsets_[i] = v == kNone ? -1 : static_cast<int64_t>(v);
    }
    return true;
}

void CRpfFrame::ReadCoverage() {
    if (!SeekToComponent(kCoverage)) return;
    double c[12];
    for (double& v : c)
        if (!ReadDouble(&v)) return;
    // A coverage that cannot be used leaves the defaults: the intervals
    // divide later.
    for (double v : c)
        if (!std::isfinite(v)) return;
    if (c[10] == 0 || c[11] == 0) return;
    std::memcpy(coverage_, c, sizeof coverage_);
}

int64_t CRpfFrame::GetSubframeOffset(int index) const {
    return index >= 0 && index < kSubframes * kSubframes ? offsets_[index] : -1;
}

bool CRpfFrame::SeekTo(uint64_t position) {
    if (position > length_) return false;
    return stream_.Seek(static_cast<int64_t>(position), CFileStream::begin) == position;
}

bool CRpfFrame::SeekToComponent(int id, uint64_t offset) {
    for (const Component& c : components_)
        if (c.id == id) return SeekTo(static_cast<uint64_t>(c.location) + offset);
    return false;
}

bool CRpfFrame::ReadBytes(void* buffer, size_t n) {
    return stream_.Read(buffer, n) == n;
}
bool CRpfFrame::ReadU8(uint8_t* v) {
    return ReadBytes(v, 1);
}
bool CRpfFrame::ReadU16(uint16_t* v) {
    return stream_.ReadValue(v, 2);
}
bool CRpfFrame::ReadU32(uint32_t* v) {
    return stream_.ReadValue(v, 4);
}
bool CRpfFrame::ReadDouble(double* v) {
    return stream_.ReadValue(v, 8);
}

void CRpfFrame::ResetColourMap() {
    for (int i = 0; i < kMaxColours; ++i) colourMap_[i] = static_cast<uint32_t>(i);
}

bool CRpfFrame::LoadPalette(uint32_t count, int bytesPerEntry) {
    const int n = static_cast<int>(std::min<uint32_t>(count, kMaxColours));
    for (int i = 0; i < n; ++i) {
        uint8_t e[4] = {0, 0, 0, 0};
        if (!ReadBytes(e, static_cast<size_t>(bytesPerEntry))) return false;
        palette_[i] = bytesPerEntry == 1 ? Colour{e[0], e[0], e[0], 0} : Colour{e[0], e[1], e[2], e[3]};
    }
    paletteCount_ = n;
    return true;
}

void CRpfFrame::FindDarkest() {
    darkest_ = 0;
    double best = HUGE_VAL;
    for (int i = 0; i < paletteCount_; ++i) {
        const Colour& c = palette_[i];
        const double d = std::sqrt(double(c.red) * c.red + double(c.green) * c.green + double(c.blue) * c.blue);
        if (d < best) {
            best = d;
            darkest_ = i;
        }
    }
}

bool CRpfFrame::ReadColorTables(int tableIndex) {
    if (!open_ || tableIndex < 0) return false;
    try {
        uint8_t records, converters;
        if (!SeekToComponent(kColourHeader) || !ReadU8(&records) || !ReadU8(&converters)) return false;
        uint32_t tableOffset;
        uint16_t recordLength;
        if (!SeekToComponent(kColourMap) || !ReadU32(&tableOffset) || !ReadU16(&recordLength)) return false;
        struct Record {
            uint16_t id;
            uint32_t count;
            uint8_t elementLength;
            uint16_t histogramLength;
            uint32_t tableOffset, histogramOffset;
        };
        std::vector<Record> list(records);
        for (Record& r : list)
            if (!ReadU16(&r.id) || !ReadU32(&r.count) || !ReadU8(&r.elementLength) || !ReadU16(&r.histogramLength) ||
                !ReadU32(&r.tableOffset) || !ReadU32(&r.histogramOffset))
                return false;
        for (size_t i = 0; i < list.size(); ++i) {
            const Record& r = list[i];
            if (!SeekToComponent(kColourMap, r.tableOffset)) return false;
            if (r.id == 3 || (tableIndex == 0 && i == 0))
                if (!LoadPalette(r.count, r.id == 3 ? 1 : 4)) return false;
            ResetColourMap();
        }
        if (tableIndex >= 1) {
            uint32_t converterTable;
            uint16_t offsetRecordLength, converterRecordLength;
            if (!SeekToComponent(kConverter) || !ReadU32(&converterTable) || !ReadU16(&offsetRecordLength) ||
                !ReadU16(&converterRecordLength))
                return false;
            struct Converter {
                uint16_t id;
                uint32_t count, tableOffset, sourceOffset, targetOffset;
            };
            std::vector<Converter> conv(converters);
            for (Converter& c : conv)
                if (!ReadU16(&c.id) || !ReadU32(&c.count) || !ReadU32(&c.tableOffset) || !ReadU32(&c.sourceOffset) ||
                    !ReadU32(&c.targetOffset))
                    return false;
            if (static_cast<size_t>(tableIndex) > conv.size()) return false;
            const Converter& want = conv[static_cast<size_t>(tableIndex) - 1];
            // The target colour table of the chosen converter.
            Record target{};
            if (!SeekToComponent(kColourMap, want.targetOffset) || !ReadU16(&target.id) || !ReadU32(&target.count) ||
                !ReadU8(&target.elementLength) || !ReadU16(&target.histogramLength) || !ReadU32(&target.tableOffset) ||
                !ReadU32(&target.histogramOffset))
                return false;
            if (!SeekToComponent(kColourMap, target.tableOffset) || !LoadPalette(target.count, 4)) return false;
            FindDarkest();
            if (!SeekToComponent(kConverter, want.tableOffset)) return false;
            for (uint32_t& m : colourMap_) {
                if (!ReadU32(&m)) return false;
                // An entry past the palette shows the darkest colour.
                if (m >= static_cast<uint32_t>(paletteCount_)) m = static_cast<uint32_t>(darkest_);
            }
        }
        FindDarkest();
        return true;
    } catch (...) {
        return false;
    }
}

bool CRpfFrame::ReadCompression() {
    if (!open_) return false;
    try {
        uint16_t algorithm, lookupCount, parameterCount, lookupRecordLength;
        uint32_t lookupTable;
        if (!SeekToComponent(kCompression) || !ReadU16(&algorithm) || !ReadU16(&lookupCount) ||
            !ReadU16(&parameterCount) || !ReadU32(&lookupTable) || !ReadU16(&lookupRecordLength))
            return false;
        uint32_t tableOffsets[4];
        for (uint32_t& offset : tableOffsets) {
            uint16_t id, values, bits;
            uint32_t records;
            if (!ReadU16(&id) || !ReadU32(&records) || !ReadU16(&values) || !ReadU16(&bits) || !ReadU32(&offset))
                return false;
            if (records != 4096 || values != 4 || bits != 8) return false;
        }
        std::vector<uint8_t> book(65536);
        for (int t = 0; t < 4; ++t) {
            if (!SeekToComponent(kLookup, tableOffsets[t]) || !ReadBytes(book.data() + t * 16384, 16384)) return false;
        }
        // Translated once, so that decoding is a plain copy. Codes past the
        // colour map show the darkest colour.
        for (uint8_t& b : book)
            b = static_cast<uint8_t>(b < kMaxColours ? colourMap_[b] : static_cast<uint32_t>(darkest_));
        codebook_ = std::move(book);
        return true;
    } catch (...) {
        return false;
    }
}

namespace {

std::function<void()> g_subframeHook;

}  // namespace

void RpfSetSubframeHookForTests(std::function<void()> hook) { g_subframeHook = std::move(hook); }

bool CRpfFrame::ReadSubframe(int index, uint8_t* buffer) {
    if (g_subframeHook) g_subframeHook();
    if (!open_ || !buffer || index < 0 || index >= kSubframes * kSubframes) return false;
    const int64_t offset = offsets_[index];
    if (offset < 0) {
        std::memset(buffer, darkest_, kSubframeBytes);
        return true;
    }
    if (codebook_.size() != 65536) return false;
    uint8_t data[kBlockBytes];
    try {
        if (!SeekToComponent(kSpatialData, static_cast<uint64_t>(offset)) || !ReadBytes(data, sizeof data))
            return false;
    } catch (...) {
        return false;
    }
    const uint8_t* p = data;
    for (int band = 0; band < 64; ++band) {
        for (int pair = 0; pair < 32; ++pair, p += 3) {
            const unsigned first = (p[0] << 4) | (p[1] >> 4);
            const unsigned second = ((p[1] & 0x0F) << 8) | p[2];
            for (int r = 0; r < 4; ++r) {
                uint8_t* dst = buffer + (band * 4 + r) * kSubframeSize + pair * 8;
                std::memcpy(dst, &codebook_[r * 16384 + first * 4], 4);
                std::memcpy(dst + 4, &codebook_[r * 16384 + second * 4], 4);
            }
        }
    }
    return true;
}

void CRpfFrame::PixelToGround(double column, double row, double* latitude, double* longitude) const {
    if (longitude) *longitude = coverage_[1] + coverage_[11] * column;
    if (latitude) *latitude = coverage_[0] - coverage_[10] * row;
}

int CRpfFrame::GroundToSubframe(double latitude, double longitude, int* column, int* row) const {
    auto cell = [](double v) {
        const double t = std::trunc(v);
        const double c = std::isfinite(t) ? std::clamp(t, -1e9, 1e9) : 0;
        return std::clamp(static_cast<int>(static_cast<int64_t>(c) / kSubframeSize), 0, kSubframes - 1);
    };
    const int c = cell((longitude - coverage_[1]) / coverage_[11]);
    const int r = cell((coverage_[0] - latitude) / coverage_[10]);
    if (column) *column = c;
    if (row) *row = r;
    return c + kSubframes * r;
}

bool CRpfFrame::GetArcZone(double latitude, char* letter, int* number) {
    static const double kNorth[] = {32, 48, 56, 64, 68, 72, 76, 80};
    char l;
    int n;
    if (!(latitude >= -90 && latitude <= 90)) return false;
    if (latitude >= 0) {
        n = 9;
        for (int i = 0; i < 8; ++i)
            if (latitude < kNorth[i]) {
                n = i + 1;
                break;
            }
        l = static_cast<char>('0' + n);
    } else {
        // Zone J continues the southern numbering.
        n = -9;
        for (int i = 0; i < 8; ++i)
            if (latitude > -kNorth[i]) {
                n = -(i + 1);
                break;
            }
        l = n == -9 ? 'J' : static_cast<char>('A' - n - 1);
    }
    if (letter) *letter = l;
    if (number) *number = n;
    return true;
}
