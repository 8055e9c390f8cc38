// The map view over three edit layers made with shapelib's own tools in
// \d: points "pts" (P1 at 20 30, P2 at 70 80), lines "lines" (L1 10 20 - 30
// 20 - 30 40, L2 40 50 - 60 50) and polygons "polys" (G1 the square 10..30
// clockwise, G2 a triangle), each with a NAME column; helpers read records
// back exactly and through other tools, and compare files before and after
// a failed write.
#pragma once

#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "formats/shape/shp_engine.h"
#include "map/layers/shape_layer.h"
#include "tests/map/view_harness.h"

inline bool operator==(const DoublePoint& a, const DoublePoint& b) {
    return a.x == b.x && a.y == b.y;
}
inline std::ostream& operator<<(std::ostream& os, const DoublePoint& p) {
    return os << "(" << p.x << ", " << p.y << ")";
}

namespace viewtest {

class EditHarness : public ViewHarness {
public:
    CMapView& EditView() { return *view_; }
    CShapeLayer* points_ = nullptr;
    CShapeLayer* lines_ = nullptr;
    CShapeLayer* polygons_ = nullptr;

    // The three files as they were made, whole.
    struct Snapshot {
        std::string shp, shx, dbf;
    };

protected:
    void MakeFixtures() {
        auto make = [&](const std::string& name, const char* type,
                        const std::vector<std::pair<std::string, std::string>>& shapes) {
            std::string command = "shpcreate " + name + " " + type + " >/dev/null && dbfcreate " +
                                  name + " -s NAME 20 >/dev/null";
            for (const auto& [coords, label] : shapes)
                command += " && shpadd " + name + " " + coords + " >/dev/null && dbfadd " + name +
                           ".dbf " + label + " >/dev/null";
            ASSERT_TRUE(ShellIn("d", command)) << command;
        };
        make("pts", "point", {{"20 30", "P1"}, {"70 80", "P2"}});
        make("lines", "arc", {{"10 20 30 20 30 40", "L1"}, {"40 50 60 50", "L2"}});
        make("polys", "polygon",
             {{"10 10 10 30 30 30 30 10 10 10", "G1"}, {"50 10 60 30 70 10 50 10", "G2"}});
        for (const char* name : {"pts", "lines", "polys"})
            for (const char* ext : {".shp", ".shx", ".dbf"})
                pristine_.push_back({std::string("d/") + name + ext,
                                     Get(std::string("d/") + name + ext)});
    }

    // The view with the three layers as edit layers.
    void OpenEditView() {
        MakeFixtures();
        ASSERT_NE(OpenShapefileView({"polys", "lines", "pts"}), nullptr);
        AddEditLayers();
    }
    void AddEditLayers() {
        CLayerList& layers = doc_.GetLayers();
        points_ = lines_ = polygons_ = nullptr;
        for (int i = 0; i < layers.GetCount(); ++i) {
            auto* layer = dynamic_cast<CShapeLayer*>(layers.GetAt(i));
            if (!layer) continue;
            layers.SetEditLayer(layer);
            if (layer->GetDisplayClass() == DisplayClass::Point) points_ = layer;
            if (layer->GetDisplayClass() == DisplayClass::Line) lines_ = layer;
            if (layer->GetDisplayClass() == DisplayClass::Polygon) polygons_ = layer;
        }
        ASSERT_TRUE(points_ && lines_ && polygons_);
        // Events on the layers are recorded too.
        for (CLayer* layer : {(CLayer*)points_, (CLayer*)lines_, (CLayer*)polygons_})
            layer->GetScriptObject(false);
    }
    // The files as made, and the layers opened again on them.
    void ResetFiles() {
        if (!view_) {
            OpenEditView();
            return;
        }
        // The files are put back as made: no packing on the way out.
        for (CShapeLayer* layer : {points_, lines_, polygons_})
            if (layer) layer->m_autopack = false;
        doc_.GetLayers().RemoveAll();
        for (const auto& [path, bytes] : pristine_) {
            std::ofstream out(Host(path), std::ios::binary | std::ios::trunc);
            out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        }
        for (const char* name : {"polys", "lines", "pts"}) {
            CLayer* layer = nullptr;
            ASSERT_TRUE(doc_.AddLayerFromPath(text::FromUtf8(std::string("\\d\\") + name + ".shp"),
                                              &layer));
        }
        AddEditLayers();
        Pump();
    }

    std::pair<CLayer*, int> Selected() {
        return {doc_.GetLayers().GetCurrentFeatureLayer(),
                doc_.GetLayers().GetCurrentFeatureRecord()};
    }
    int ScriptEventsWith(int id) const {
        int n = 0;
        for (const auto& e : script_.events) n += e.id == id;
        return n;
    }

    // Our reader: the exact doubles.
    std::vector<DoublePoint> Points(CShapeLayer* layer, int record) const {
        std::vector<DoublePoint> out;
        const ShapeRecord* r = ShpReadShape(layer->GetHandle(), record);
        if (!r) return out;
        const uint8_t* p = ShapeGetPoints(r);
        int n = ShpGetPointCount(r);
        if (!p) {
            // A point shape: X and Y after the type word.
            out.push_back(ShapeLoadPoint(ShapeBytes(r) + 4, 0));
            return out;
        }
        for (int i = 0; i < n; ++i) out.push_back(ShapeLoadPoint(p, i));
        return out;
    }
    int PointCount(CShapeLayer* layer, int record) const {
        const ShapeRecord* r = ShpReadShape(layer->GetHandle(), record);
        return r ? ShpGetPointCount(r) : -1;
    }
    CDoubleRect Bounds(CShapeLayer* layer, int record) const {
        CDoubleRect b;
        const ShapeRecord* r = ShpReadShape(layer->GetHandle(), record);
        if (r) ShpGetShapeBounds(r, &b);
        return b;
    }
    std::string RecordBytes(CShapeLayer* layer, int record) const {
        const ShapeRecord* r = ShpReadShape(layer->GetHandle(), record);
        if (!r) return {};
        return std::string(reinterpret_cast<const char*>(r), ShapeGetRecordSize(r));
    }

    // A command run in the device root; its output and error text.
    std::string Tool(const std::string& command) const {
        std::string full = "cd '" + root_ + "' && { " + command + "; } 2>&1";
        std::string out;
        if (FILE* f = popen(full.c_str(), "r")) {
            char buffer[4096];
            size_t n;
            while ((n = fread(buffer, 1, sizeof buffer, f)) > 0) out.append(buffer, n);
            pclose(f);
        }
        return out;
    }
    // Rows dbfdump lists (deleted ones included).
    int DbfRows(const std::string& name) const {
        std::string dump = Tool("dbfdump -m d/" + name + ".dbf");
        int rows = 0;
        for (size_t at = 0; (at = dump.find("Record:", at)) != std::string::npos; ++at) ++rows;
        return rows;
    }

    Snapshot Take(const std::string& name) const {
        return {Get("d/" + name + ".shp"), Get("d/" + name + ".shx"), Get("d/" + name + ".dbf")};
    }

    // Every record of `before` but `changed` is byte-identical in .shp,
    // .shx and .dbf; the changed one holds its old content.
    void ExpectRecordsKept(const std::string& name, const Snapshot& before, int changed) const {
        const Snapshot after = Take(name);
        auto be32 = [](const std::string& s, size_t at) {
            const auto* b = reinterpret_cast<const unsigned char*>(s.data() + at);
            return int64_t(b[0]) << 24 | b[1] << 16 | b[2] << 8 | b[3];
        };
        const size_t records = (before.shx.size() - 100) / 8;
        ASSERT_GE(after.shx.size(), before.shx.size());
        for (size_t i = 0; i < records; ++i) {
            // The changed record may hold its new content (a later write,
            // the flush, failed); the tools still read it.
            if (int(i) == changed) continue;
            SCOPED_TRACE(i);
            EXPECT_EQ(after.shx.substr(100 + 8 * i, 8), before.shx.substr(100 + 8 * i, 8));
            const int64_t offset = be32(before.shx, 100 + 8 * i) * 2;
            const int64_t length = be32(before.shx, 104 + 8 * i) * 2 + 8;
            EXPECT_EQ(after.shp.substr(size_t(offset), size_t(length)),
                      before.shp.substr(size_t(offset), size_t(length)));
        }
        auto le16 = [](const std::string& s, size_t at) {
            return int(uint8_t(s[at])) | int(uint8_t(s[at + 1])) << 8;
        };
        const size_t header = size_t(le16(before.dbf, 8)), width = size_t(le16(before.dbf, 10));
        ASSERT_GE(after.dbf.size(), header + records * width);
        EXPECT_EQ(after.dbf.substr(header, records * width), before.dbf.substr(header, records * width));
    }
    // shpdump, dbfdump and ogrinfo open the files without complaint.
    void ExpectToolsRead(const std::string& name) const {
        std::string out = Tool("shpdump d/" + name + ".shp >/dev/null && dbfdump d/" + name +
                               ".dbf >/dev/null && ogrinfo -ro -al -q d/" + name +
                               ".shp >/dev/null && echo fine");
        EXPECT_NE(out.find("fine"), std::string::npos) << out;
        EXPECT_EQ(out.find("ERROR"), std::string::npos) << out;
    }

private:
    std::vector<std::pair<std::string, std::string>> pristine_;
};

}  // namespace viewtest
