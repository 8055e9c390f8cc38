// The map server client's own work, without the network: building the four
// requests, and decoding and parsing a large service information response
// and catalogue into their tables, beside libxml2 reading the same bytes.
#include <benchmark/benchmark.h>
#include <libxml/parser.h>

#include <string>

#include "crs/coord_sys.h"
#include "crs/wkt.h"
#include "map/layers/internet_layer.h"
#include "map/server/ombrix_connection.h"

namespace {

const WChar kProjected[] =
    u"PROJCS[\"WGS_1984_UTM_Zone_33N\",GEOGCS[\"GCS_WGS_1984\",DATUM[\"D_WGS_1984\",SPHEROID[\"WGS_1984\","
    u"6378137.0,298.257223563]],PRIMEM[\"Greenwich\",0.0],UNIT[\"Degree\",0.0174532925199433]],"
    u"PROJECTION[\"Transverse_Mercator\"],PARAMETER[\"False_Easting\",500000.0],PARAMETER[\"False_Northing\",0.0],"
    u"PARAMETER[\"Central_Meridian\",15.0],PARAMETER[\"Scale_Factor\",0.9996],PARAMETER[\"Latitude_Of_Origin\",0.0],"
    u"UNIT[\"Meter\",1.0]]";

std::string ServiceInfo(int layers) {
    std::string s = "<?xml version=\"1.0\" encoding=\"UTF-8\"?><OMBRXL version=\"1.1\"><RESPONSE><SERVICEINFO>"
                    "<PROPERTIES><ENVELOPE minx=\"0\" miny=\"0\" maxx=\"240\" maxy=\"640\" /></PROPERTIES>\r\n";
    for (int i = 0; i < layers; ++i)
        s += "<LAYERINFO id=\"" + std::to_string(i) + "\" name=\"Layer \xC3\xA9 " + std::to_string(i) +
             "\" type=\"featureclass\" visible=\"true\" minscale=\"0\" maxscale=\"50000\"><FCLASS type=\"polygon\">"
             "<ENVELOPE minx=\"431000.5\" miny=\"5410000.25\" maxx=\"432000.75\" maxy=\"5411000.125\" />"
             "</FCLASS></LAYERINFO>\r\n";
    return s + "</SERVICEINFO></RESPONSE></OMBRXL>";
}

std::string Catalogue(int services) {
    std::string s = "<?xml version=\"1.0\" encoding=\"UTF-8\"?><OMBRXL version=\"1.1\"><RESPONSE><SERVICES>\r\n";
    for (int i = 0; i < services; ++i)
        s += "<SERVICE NAME=\"Service" + std::to_string(i) +
             "\" SERVICEGROUP=\"g\" ACCESS=\"PUBLIC\" TYPE=\"ImageServer\" DESC=\"Roads and rails\" GROUP=\"x\" "
             "STATUS=\"ENABLED\" />\r\n";
    return s + "</SERVICES></RESPONSE></OMBRXL>";
}

void BuildRequests(benchmark::State& state) {
    CWktCoordSys wkt;
    wkt.ParseWkt(kProjected);
    auto cs = wkt.CreateProjection();
    const CDoubleRect env(431000.5, 5410000.25, 432000.75, 5411000.125);
    for (auto _ : state) {
        const WString text = FormatWkt(*cs, false);
        benchmark::DoNotOptimize(COmbrixConnection::BuildClientServicesRequest());
        benchmark::DoNotOptimize(COmbrixConnection::BuildServiceInfoRequest());
        benchmark::DoNotOptimize(COmbrixConnection::BuildImageRequest(env, 240, 320, 0xFFFFFF, text.c_str(), nullptr));
        benchmark::DoNotOptimize(COmbrixConnection::BuildFeaturesRequest(u"3", env, nullptr, nullptr));
    }
}
BENCHMARK(BuildRequests);

void ParseServiceInfo(benchmark::State& state) {
    const std::string bytes = ServiceInfo(2000);
    for (auto _ : state) {
        CMapServerResponse response;
        response.Parse(text::FromUtf8(bytes));
        CInternetLayer::ServiceInfo info;
        WString message;
        CInternetLayer::ReadServiceInfo(response, info, message);
        benchmark::DoNotOptimize(info.subLayers.size());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes.size()));
}
BENCHMARK(ParseServiceInfo);

void ParseCatalogue(benchmark::State& state) {
    const std::string bytes = Catalogue(2000);
    for (auto _ : state) {
        CMapServerResponse response;
        response.Parse(text::FromUtf8(bytes));
        int rows = 0;
        CXmlNode* services = response.GetRoot()->FindChild(u"RESPONSE")->FindChild(u"SERVICES");
        for (int i = 0; i < services->GetChildCount(); ++i) {
            const CXmlNode* s = services->GetChild(i);
            for (const WChar* name : {u"NAME", u"SERVICEGROUP", u"ACCESS", u"DESC", u"GROUP", u"STATUS"})
                benchmark::DoNotOptimize(s->GetAttribute(name));
            rows += text::ToLower(s->GetAttribute(u"TYPE")) == u"imageserver";
        }
        benchmark::DoNotOptimize(rows);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes.size()));
}
BENCHMARK(ParseCatalogue);

// libxml2 on the same bytes, reading the same attributes.
void Walk(xmlNode* node, int& count) {
    for (; node; node = node->next) {
        if (node->type == XML_ELEMENT_NODE) {
            for (xmlAttr* a = node->properties; a; a = a->next) {
                xmlChar* v = xmlNodeGetContent(a->children);
                ++count;
                xmlFree(v);
            }
        }
        Walk(node->children, count);
    }
}

void LibXml2(benchmark::State& state, const std::string& bytes) {
    for (auto _ : state) {
        xmlDoc* doc = xmlReadMemory(bytes.data(), static_cast<int>(bytes.size()), nullptr, nullptr, XML_PARSE_NONET);
        int count = 0;
        Walk(xmlDocGetRootElement(doc), count);
        benchmark::DoNotOptimize(count);
        xmlFreeDoc(doc);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes.size()));
}
void LibXml2ServiceInfo(benchmark::State& state) { LibXml2(state, ServiceInfo(2000)); }
void LibXml2Catalogue(benchmark::State& state) { LibXml2(state, Catalogue(2000)); }
BENCHMARK(LibXml2ServiceInfo);
BENCHMARK(LibXml2Catalogue);

}  // namespace

BENCHMARK_MAIN();
