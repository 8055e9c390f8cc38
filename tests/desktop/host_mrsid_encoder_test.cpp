// The host's MrSID encoder: the band count of its input as gdalinfo sees
// it, the settings it refuses, the image and world file it writes (checked
// with our decoder and against gdalinfo's geotransform), the inputs it
// refuses, and failing calls on demand.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "desktop/host/host_faults.h"
#include "desktop/host/role_factories.h"
#include "formats/sid/sid_encode.h"
#include "formats/sid/sid_file.h"
#include "platform/fs/fs.h"
#include "tests/formats/dbf_test_util.h"
#include "tests/formats/sid_scene.h"
#include "tests/platform/fs_test_root.h"

namespace {

using namespace host;

// A raster name: the workspace folder and the file's name in it.
class TestName : public IHostName {
public:
    TestName(Kind kind, std::string name, std::shared_ptr<IHostName> workspace = nullptr)
        : kind_(kind), name_(std::move(name)), workspace_(std::move(workspace)) {}
    Kind NameKind() const override { return kind_; }
    std::string Name() const override { return name_; }
    void SetName(const std::string& n) override { name_ = n; }
    std::string PathName() const override { return kind_ == Kind::Workspace ? name_ : ""; }
    void SetPathName(const std::string&) override {}
    std::string FactoryProgId() const override { return ""; }
    void SetFactoryProgId(const std::string&) override {}
    std::shared_ptr<IHostName> WorkspaceName() const override { return workspace_; }
    void SetWorkspaceName(std::shared_ptr<IHostName> w) override { workspace_ = std::move(w); }

private:
    Kind kind_;
    std::string name_;
    std::shared_ptr<IHostName> workspace_;
};

class Workspace : public IHostWorkspace {
public:
    explicit Workspace(std::string folder) : folder_(std::move(folder)) {}
    std::string PathName() const override { return folder_; }
    WorkspaceKind Kind() const override { return WorkspaceKind::Shapefile; }

private:
    std::string folder_;
};

class HostMrSidEncoderTest : public DeviceRootTest {
protected:
    void SetUp() override {
        DeviceRootTest::SetUp();
        HostFaults::Reset();
        std::filesystem::create_directories(Host("in"));
        std::filesystem::create_directories(Host("out"));
    }
    void TearDown() override {
        HostFaults::Reset();
        DeviceRootTest::TearDown();
    }
    std::vector<std::shared_ptr<IHostName>> Input(const std::string& file) {
        auto ws = std::make_shared<TestName>(IHostName::Kind::Workspace, Host("in"));
        return {std::make_shared<TestName>(IHostName::Kind::Raster, file, ws)};
    }
    std::shared_ptr<IHostWorkspace> Out() { return std::make_shared<Workspace>(Host("out")); }
    // A picture as PPM (3 bands) or PGM (1 band) in the input folder.
    void PutPnm(const std::string& rel, int w, int h, int bands) {
        const auto px = sidscene::Scene(w, h, bands);
        Put(rel, std::string(bands == 1 ? "P5\n" : "P6\n") + std::to_string(w) + " " + std::to_string(h) +
                     "\n255\n" + std::string(px.begin(), px.end()));
    }
    bool Sh(const std::string& cmd) { return std::system(("cd '" + Host("in") + "' && (" + cmd + ") >/dev/null 2>&1").c_str()) == 0; }
    // The six numbers of a world file.
    static std::vector<double> Numbers(const std::string& text) {
        std::istringstream in(text);
        std::vector<double> v;
        for (double d; in >> d;) v.push_back(d);
        return v;
    }
    // The geotransform gdalinfo reports, as world-file numbers.
    std::vector<double> GdalWorld(const std::string& file) {
        const std::string json = RunTool("gdalinfo -json '" + Host(file) + "'");
        const size_t at = json.find("\"geoTransform\"");
        EXPECT_NE(at, std::string::npos);
        std::string list = json.substr(json.find('[', at) + 1);
        list = list.substr(0, list.find(']'));
        for (char& c : list)
            if (c == ',') c = ' ';
        const auto gt = Numbers(list);
        EXPECT_EQ(gt.size(), 6u);
        return {gt[1], gt[4], gt[2], gt[5], gt[0], gt[3]};
    }
    int GdalBands(const std::string& file) {
        const std::string info = RunTool("gdalinfo '" + Host(file) + "'");
        int bands = 0;
        for (size_t at = 0; (at = info.find("\nBand ", at)) != std::string::npos; ++at) ++bands;
        return bands;
    }
    // Our decoder's reading of a written file.
    static void ExpectSid(const std::string& rel, int width, int height) {
        int bands = 0, levels = 0, w = 0, h = 0;
        ASSERT_EQ(SidReadImageInfo(("\\" + rel).c_str(), &bands, &levels, &w, &h, nullptr), kSidOk) << rel;
        EXPECT_EQ(bands, 3);
        EXPECT_EQ(w, width);
        EXPECT_EQ(h, height);
        EXPECT_GE(levels, 1);
    }
};

TEST_F(HostMrSidEncoderTest, BandCountsAndRefusedSettings) {
    REQUIRE_TOOL("cjpeg");
    PutPnm("in/colour.ppm", 90, 70, 3);
    PutPnm("in/grey.pgm", 90, 70, 1);
    ASSERT_TRUE(Sh("cjpeg colour.ppm > colour.jpg && cjpeg -grayscale grey.pgm > grey.jpg"));
    for (const auto& [file, bands] : {std::pair{"colour.jpg", 3}, std::pair{"grey.jpg", 1}}) {
        SCOPED_TRACE(file);
        auto enc = CreateMrSidEncoder();
        enc->SetInput(Input(file));
        EXPECT_EQ(enc->BandCount(), bands);
        EXPECT_EQ(GdalBands(std::string("in/") + file), bands);
    }
    auto enc = CreateMrSidEncoder();
    EXPECT_THROW(enc->BandCount(), HostError);  // no input yet
    EXPECT_THROW(enc->SetInput({}), HostError);
    auto two = Input("colour.jpg");
    two.push_back(two[0]);
    EXPECT_THROW(enc->SetInput(two), HostError);
    EXPECT_THROW(enc->SetInput(Input("missing.jpg")), HostError);
    EXPECT_THROW(enc->SetInput({std::make_shared<TestName>(IHostName::Kind::Workspace, Host("in"))}), HostError);
    enc->SetInput(Input("colour.jpg"));
    for (const std::vector<int32_t>& order :
         {std::vector<int32_t>{}, {0, 1}, {0, 1, 2, 0}, {0, 0, 1}, {0, 1, 3}, {-1, 0, 1}}) {
        EXPECT_THROW(enc->SetBandOrder(order), HostError) << order.size();
    }
    enc->SetBandOrder({2, 1, 0});
    for (float r : {1.0f, 0.5f, 0.0f, -3.0f, NAN, INFINITY}) EXPECT_THROW(enc->SetCompressionRatio(r), HostError) << r;
    enc->SetCompressionRatio(20.0f);
    auto grey = CreateMrSidEncoder();
    grey->SetInput(Input("grey.jpg"));
    EXPECT_THROW(grey->SetBandOrder({0, 1, 2}), HostError);
}

// The handheld reads the outer corner of the upper-left pixel where the
// source's world file names its centre: the image stays where the desktop
// shows it.
TEST_F(HostMrSidEncoderTest, TheWorldFileOfTheSourceMovesToTheOuterCorner) {
    REQUIRE_TOOL("cjpeg");
    PutPnm("in/photo.ppm", 300, 200, 3);
    ASSERT_TRUE(Sh("cjpeg photo.ppm > PHOTO.JPG"));
    const std::string world = "0.5\n0.0\n0.0\n-0.5\n455000.25\n5400000.75\n";
    Put("in/photo.jgw", world);  // another letter case than the image
    auto enc = CreateMrSidEncoder();
    enc->SetInput(Input("PHOTO.JPG"));
    ASSERT_EQ(enc->BandCount(), 3);
    enc->SetBandOrder({0, 1, 2});
    enc->SetCompressionRatio(20.0f);
    EXPECT_TRUE(enc->Encode(Out(), "photo.sid"));
    ExpectSid("out/photo.sid", 300, 200);
    EXPECT_EQ(Get("out/photo.sdw"), "0.5\r\n0\r\n0\r\n-0.5\r\n455000\r\n5400001\r\n");
    EXPECT_LE(Get("out/photo.sid").size(), 300u * 200 * 3 / 20);
}

TEST_F(HostMrSidEncoderTest, AGeoTiffGetsItsGeotransform) {
    REQUIRE_TOOL("gdal_translate");
    PutPnm("in/scan.ppm", 120, 80, 3);
    ASSERT_TRUE(Sh("gdal_translate -q -of GTiff -a_ullr 500000.5 4100040.25 500120.5 4100000.25 -a_srs EPSG:32633 "
                   "scan.ppm scan.tif"));
    auto enc = CreateMrSidEncoder();
    enc->SetInput(Input("scan.tif"));
    enc->SetBandOrder({0, 1, 2});
    EXPECT_TRUE(enc->Encode(Out(), "scan.sid"));
    ExpectSid("out/scan.sid", 120, 80);
    const auto ours = Numbers(Get("out/scan.sdw"));
    const auto theirs = GdalWorld("in/scan.tif");
    ASSERT_EQ(ours.size(), 6u);
    for (int i = 0; i < 6; ++i) EXPECT_EQ(ours[i], theirs[i]) << i;
    EXPECT_EQ(ours[4], 500000.5);  // the outer corner of the upper-left pixel
    EXPECT_EQ(ours[5], 4100040.25);
}

TEST_F(HostMrSidEncoderTest, InputsThatAreRefusedOrHaveNoPlace) {
    REQUIRE_TOOL("gdal_translate");
    PutPnm("in/plain.ppm", 64, 48, 3);
    ASSERT_TRUE(Sh("gdal_translate -q -of GTiff plain.ppm plain.tif && "
                   "gdal_translate -q -of GTiff -ot UInt16 -a_ullr 0 48 64 0 plain.ppm deep.tif"));
    // 16 bits a sample: refused, nothing written.
    auto deep = CreateMrSidEncoder();
    deep->SetInput(Input("deep.tif"));
    deep->SetBandOrder({0, 1, 2});
    try {
        deep->Encode(Out(), "deep.sid");
        ADD_FAILURE() << "encoded";
    } catch (const HostError& e) {
        EXPECT_STREQ(e.what(), "only 8-bit images are encoded");
    }
    EXPECT_FALSE(HostExists("out/deep.sid"));
    // No georeference: the image, no world file, and the caller is told.
    auto plain = CreateMrSidEncoder();
    plain->SetInput(Input("plain.tif"));
    plain->SetBandOrder({0, 1, 2});
    EXPECT_FALSE(plain->Encode(Out(), "plain.sid"));
    ExpectSid("out/plain.sid", 64, 48);
    EXPECT_FALSE(HostExists("out/plain.sdw"));
}

TEST_F(HostMrSidEncoderTest, AMrSidSourceWithoutWorldFileIsDecodedAndEncoded) {
    const auto px = sidscene::Scene(200, 150, 3);
    SidEncodeSettings fine;
    fine.quantisation = kSidFinestStep;
    ASSERT_EQ(SidEncodeFile("\\in\\old.sid", px.data(), 200, 150, 3, 600, fine), kSidOk);
    auto enc = CreateMrSidEncoder();
    enc->SetInput(Input("old.sid"));
    EXPECT_EQ(enc->BandCount(), 3);
    enc->SetBandOrder({0, 1, 2});
    enc->SetCompressionRatio(10.0f);
    EXPECT_FALSE(enc->Encode(Out(), "new.sid"));
    ExpectSid("out/new.sid", 200, 150);
    EXPECT_LE(Get("out/new.sid").size(), 200u * 150 * 3 / 10);
}

TEST_F(HostMrSidEncoderTest, EveryOperationCanFail) {
    REQUIRE_TOOL("cjpeg");
    PutPnm("in/photo.ppm", 40, 30, 3);
    ASSERT_TRUE(Sh("cjpeg photo.ppm > photo.jpg"));
    const char* operations[] = {"CreateMrSidEncoder", "IHostMrSidEncoder::SetInput", "IHostMrSidEncoder::BandCount",
                                "IHostMrSidEncoder::SetBandOrder", "IHostMrSidEncoder::SetCompressionRatio",
                                "IHostMrSidEncoder::Encode"};
    for (const char* op : operations) {
        SCOPED_TRACE(op);
        HostFaults::Reset();
        HostFaults::FailAlways(op, "no way");
        try {
            auto enc = CreateMrSidEncoder();
            enc->SetInput(Input("photo.jpg"));
            enc->BandCount();
            enc->SetBandOrder({0, 1, 2});
            enc->SetCompressionRatio(20.0f);
            enc->Encode(Out(), "photo.sid");
            ADD_FAILURE() << "no failure";
        } catch (const HostError& e) {
            EXPECT_STREQ(e.what(), "no way");
        }
        EXPECT_FALSE(HostExists("out/photo.sid"));
    }
}

}  // namespace
