// Test-only: writes CADRG frames (a NITF 2.1 file with the RPF header in its
// user-defined header, one C4 image segment whose RPFIMG extension holds the
// location section and components 130 to 139, and image data made of the mask
// subsection followed by the spatial data) from chosen palettes, codebooks and
// subframes, for the frame reader and GDAL's NITF driver to read.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace rpftest {

struct FrameSpec {
    bool bigEndian = true;
    bool mask = true;
    int subframesEw = 6, subframesNs = 6, subframeSize = 256;
    std::vector<bool> present = std::vector<bool>(36, true);
    std::vector<uint8_t> palette;             // RGBA, 4 bytes each
    std::vector<uint8_t> codebook;            // 65536 bytes: 4 tables of 4096 x 4
    std::vector<uint8_t> spatial;             // 6144 bytes per present subframe, in order
    std::vector<std::vector<uint32_t>> maps;  // converter colour maps (216 entries each)
    std::vector<std::vector<uint8_t>> targets;  // converter target palettes (RGBA)
    double coverage[12] = {40.0, -105.0, 39.9, -105.0, 40.0, -104.9, 39.9, -104.9, 10, 10, 0.1 / 1536, 0.1 / 1536};
    bool compressionSection = true;
    bool rpfHeader = true;
    uint32_t extraLocationRecords = 0;
};

class Bytes {
public:
    explicit Bytes(bool big) : big_(big) {}
    std::string data;
    void Raw(const std::string& s) { data += s; }
    void Text(const std::string& s, size_t width, char pad = ' ') {
        std::string t = s.substr(0, width);
        t.resize(width, pad);
        data += t;
    }
    void Num(uint64_t v, size_t width) {
        char buf[32];
        snprintf(buf, sizeof buf, "%0*llu", static_cast<int>(width), static_cast<unsigned long long>(v));
        data += buf;
    }
    void U8(uint32_t v) { data += static_cast<char>(v); }
    void U16(uint32_t v) { Int(v, 2); }
    void U32(uint32_t v) { Int(v, 4); }
    void F64(double d) {
        uint64_t v;
        std::memcpy(&v, &d, 8);
        Int(v, 8);
    }
    void Int(uint64_t v, int n) {
        for (int i = 0; i < n; ++i) {
            const int shift = big_ ? 8 * (n - 1 - i) : 8 * i;
            data += static_cast<char>((v >> shift) & 0xFF);
        }
    }
    size_t Size() const { return data.size(); }

private:
    bool big_;
};

// Unclassified, with every other security field blank (file and image
// headers alike).
inline void SecurityFields(Bytes& b) {
    b.Raw("U");
    for (size_t width : {2, 11, 2, 20, 2, 8, 4, 1, 8, 43, 1, 40, 1, 8, 15}) b.Text("", width);
}

// The whole frame file.
inline std::string WriteFrame(const FrameSpec& f) {
    const bool big = f.bigEndian;
    const int ncolours = static_cast<int>(f.palette.size() / 4);
    const int converters = static_cast<int>(f.maps.size());

    // --- the RPF components, placed later at absolute positions.
    Bytes coverage(big);
    for (double v : f.coverage) coverage.F64(v);

    Bytes compression(big);  // 131 then 132 right after it
    compression.U16(1);
    compression.U16(4);
    compression.U16(0);
    Bytes lookup(big);
    lookup.U32(6);
    lookup.U16(14);
    for (int t = 0; t < 4; ++t) {
        lookup.U16(static_cast<uint32_t>(t + 1));
        lookup.U32(4096);
        lookup.U16(4);
        lookup.U16(8);
        lookup.U32(static_cast<uint32_t>(6 + 56 + t * 16384));
    }
    lookup.Raw(std::string(f.codebook.begin(), f.codebook.end()));

    Bytes colourHeader(big);  // 134
    colourHeader.U8(1);
    colourHeader.U8(static_cast<uint32_t>(converters));
    colourHeader.Text("", 12);

    Bytes colourMap(big);  // 135: one table, then the converters' targets
    const int tables = 1 + converters;
    colourMap.U32(6);
    colourMap.U16(17);
    uint32_t at = static_cast<uint32_t>(6 + 17 * tables);
    std::vector<uint32_t> tableOffsets;
    for (int t = 0; t < tables; ++t) {
        const int count = t == 0 ? ncolours : static_cast<int>(f.targets[t - 1].size() / 4);
        colourMap.U16(2);  // RGB-M
        colourMap.U32(static_cast<uint32_t>(count));
        colourMap.U8(4);
        colourMap.U16(4);
        colourMap.U32(at);
        colourMap.U32(0);
        tableOffsets.push_back(at);
        at += static_cast<uint32_t>(count * 4);
    }
    // Converter target records are colour offset records too: keep one
    // per converter after the tables, pointing at its table.
    std::vector<uint32_t> targetRecordOffsets;
    const uint32_t recordsAt = at;
    colourMap.Raw(std::string(f.palette.begin(), f.palette.end()));
    for (int t = 0; t < converters; ++t) colourMap.Raw(std::string(f.targets[t].begin(), f.targets[t].end()));
    for (int t = 0; t < converters; ++t) {
        targetRecordOffsets.push_back(static_cast<uint32_t>(recordsAt + 17 * t));
        colourMap.U16(2);
        colourMap.U32(static_cast<uint32_t>(f.targets[t].size() / 4));
        colourMap.U8(4);
        colourMap.U16(4);
        colourMap.U32(tableOffsets[t + 1]);
        colourMap.U32(0);
    }

    Bytes description(big);  // 136
    description.U16(1);
    description.U16(1);
    description.U16(1);
    description.U16(1);
    description.U16(static_cast<uint32_t>(f.subframesEw));
    description.U16(static_cast<uint32_t>(f.subframesNs));
    description.U32(static_cast<uint32_t>(f.subframeSize));
    description.U32(static_cast<uint32_t>(f.subframeSize));
    description.U32(f.mask ? 6 : 0xFFFFFFFF);
    description.U32(0xFFFFFFFF);

    Bytes converter(big);  // 139
    if (converters) {
        converter.U32(8);
        converter.U16(18);
        converter.U16(4);
        for (int k = 0; k < converters; ++k) {
            converter.U16(static_cast<uint32_t>(k + 1));
            converter.U32(216);
            converter.U32(static_cast<uint32_t>(8 + 18 * converters + 864 * k));
            converter.U32(tableOffsets[0] - 0);  // source: the main table's record
            converter.U32(targetRecordOffsets[k]);
        }
        for (const auto& m : f.maps)
            for (uint32_t v : m) converter.U32(v);
    }

    Bytes maskData(big);  // 138
    std::vector<uint32_t> offsets;
    uint32_t next = 0;
    for (int i = 0; i < 36; ++i) {
        offsets.push_back(f.present[i] ? next : 0xFFFFFFFF);
        if (f.present[i]) next += 6144;
    }
    if (f.mask) {
        maskData.U16(4);
        maskData.U16(0);
        maskData.U16(0);
        for (uint32_t o : offsets) maskData.U32(o);
    }

    // --- layout: file header, image subheader (with RPFIMG), image data.
    auto fileHeader = [&](uint64_t fileLength, uint64_t subheaderLength, uint64_t imageLength, uint64_t headerLength,
                          const std::string& rpfHeader) {
        Bytes h(true);
        h.Raw("NITF02.10");
        h.Raw("03");
        h.Raw("BF01");
        h.Text("ZNTEST", 10);
        h.Raw("20260101000000");
        h.Text("CADRG test frame", 80);
        SecurityFields(h);
        h.Raw("00000");
        h.Raw("00000");
        h.Raw("0");
        h.Raw(std::string("\0\0\0", 3));
        h.Text("", 24);
        h.Text("", 18);
        h.Num(fileLength, 12);
        h.Num(headerLength, 6);
        h.Raw("001");
        h.Num(subheaderLength, 6);
        h.Num(imageLength, 10);
        h.Raw("000000000000000");
        if (f.rpfHeader) {
            h.Num(3 + 11 + rpfHeader.size(), 5);
            h.Raw("000");
            h.Raw("RPFHDR");
            h.Num(rpfHeader.size(), 5);
            h.Raw(rpfHeader);
        } else {
            h.Raw("00000");
        }
        h.Raw("00000");
        return h.data;
    };
    // The RPF header: its location section location is filled in below.
    auto rpfHeader = [&](uint32_t locationSection) {
        Bytes r(big);
        r.U8(big ? 0 : 0xFF);
        r.U16(48);
        r.Text("A0000000.TL1", 12);
        r.U8(0);
        r.Text("MIL-C-89038", 15);
        r.Text("19941006", 8);
        r.Raw("U");
        r.Text("", 2);
        r.Text("", 2);
        r.U32(locationSection);
        return r.data;
    };
    auto imageSubheader = [&](const std::string& rpfimg) {
        Bytes s(true);
        s.Raw("IM");
        s.Text("CADRG", 10);
        s.Raw("20260101000000");
        s.Text("", 17);
        s.Text("", 80);
        SecurityFields(s);
        s.Raw("0");
        s.Text("", 42);
        s.Num(1536, 8);
        s.Num(1536, 8);
        s.Raw("INT");
        s.Text("RGB/LUT", 8);
        s.Text("VIS", 8);
        s.Raw("08");
        s.Raw("R");
        s.Raw("G");
        // IGEOLO from the coverage corners: NW, NE, SE, SW as ddmmssXdddmmssY.
        auto dms = [](double v, bool lat) {
            const char hemi = lat ? (v < 0 ? 'S' : 'N') : (v < 0 ? 'W' : 'E');
            double a = std::fabs(v) + 1e-9;
            const int d = static_cast<int>(a);
            a = (a - d) * 60;
            const int m = static_cast<int>(a);
            const int sec = static_cast<int>((a - m) * 60 + 0.5);
            char buf[16];
            if (lat)
                snprintf(buf, sizeof buf, "%02d%02d%02d%c", d, m, sec, hemi);
            else
                snprintf(buf, sizeof buf, "%03d%02d%02d%c", d, m, sec, hemi);
            return std::string(buf);
        };
        const double* c = f.coverage;
        s.Raw(dms(c[0], true) + dms(c[1], false) + dms(c[4], true) + dms(c[5], false) + dms(c[6], true) +
              dms(c[7], false) + dms(c[2], true) + dms(c[3], false));
        s.Raw("0");
        s.Raw("C4");
        s.Text("", 4);
        s.Raw("1");
        s.Text("LU", 2);
        s.Text("", 6);
        s.Raw("N");
        s.Text("", 3);
        s.Raw("3");
        s.Num(static_cast<uint64_t>(ncolours), 5);
        for (int ch = 0; ch < 3; ++ch)
            for (int i = 0; i < ncolours; ++i) s.Raw(std::string(1, static_cast<char>(f.palette[4 * i + ch])));
        s.Raw("0");
        s.Raw("B");
        s.Raw("0006");
        s.Raw("0006");
        s.Raw("0256");
        s.Raw("0256");
        s.Raw("08");
        s.Raw("001");
        s.Raw("000");
        s.Raw("0000000000");
        s.Raw("1.0 ");
        s.Raw("00000");
        s.Num(3 + 11 + rpfimg.size(), 5);
        s.Raw("000");
        s.Raw("RPFIMG");
        s.Num(rpfimg.size(), 5);
        s.Raw(rpfimg);
        return s.data;
    };

    // Component order inside RPFIMG: location section, then 130 .. 139.
    struct Part {
        int id;
        const Bytes* bytes;
    };
    std::vector<Part> parts = {{130, &coverage}};
    if (f.compressionSection) {
        parts.push_back({131, &compression});
        parts.push_back({132, &lookup});
    }
    parts.push_back({134, &colourHeader});
    parts.push_back({135, &colourMap});
    parts.push_back({136, &description});
    if (converters) parts.push_back({139, &converter});
    const int records = static_cast<int>(parts.size()) + (f.mask ? 1 : 0) + 1 + static_cast<int>(f.extraLocationRecords);
    const size_t locationSize = 14 + 10 * static_cast<size_t>(records);
    size_t rpfimgSize = locationSize;
    for (const Part& p : parts) rpfimgSize += p.bytes->Size();
    const std::string probeHeader = fileHeader(0, 0, 0, 0, rpfHeader(0));
    const size_t headerLength = probeHeader.size();
    const size_t subheaderLength = imageSubheader(std::string(rpfimgSize, '\0')).size();
    const size_t rpfimgAt = headerLength + subheaderLength - rpfimgSize;
    const size_t imageAt = headerLength + subheaderLength;
    std::string spatial(f.spatial.begin(), f.spatial.end());
    const size_t imageLength = maskData.Size() + spatial.size();

    Bytes location(big);
    location.U16(static_cast<uint32_t>(locationSize));
    location.U32(14);
    location.U16(static_cast<uint32_t>(records));
    location.U16(10);
    location.U32(static_cast<uint32_t>(rpfimgSize - locationSize + imageLength));
    size_t pos = rpfimgAt + locationSize;
    for (const Part& p : parts) {
        location.U16(static_cast<uint32_t>(p.id));
        location.U32(static_cast<uint32_t>(p.bytes->Size()));
        location.U32(static_cast<uint32_t>(pos));
        pos += p.bytes->Size();
    }
    if (f.mask) {
        location.U16(138);
        location.U32(static_cast<uint32_t>(maskData.Size()));
        location.U32(static_cast<uint32_t>(imageAt));
    }
    location.U16(140);
    location.U32(static_cast<uint32_t>(spatial.size()));
    location.U32(static_cast<uint32_t>(imageAt + maskData.Size()));
    for (uint32_t k = 0; k < f.extraLocationRecords; ++k) {
        location.U16(999);
        location.U32(0);
        location.U32(0);
    }
    std::string rpfimg = location.data;
    for (const Part& p : parts) rpfimg += p.bytes->data;
    const size_t total = imageAt + imageLength;
    // The RPF header's location section is the RPFIMG data's start.
    std::string out = fileHeader(total, subheaderLength, imageLength, headerLength, rpfHeader(static_cast<uint32_t>(rpfimgAt)));
    out += imageSubheader(rpfimg);
    out += maskData.data;
    out += spatial;
    return out;
}

}  // namespace rpftest
