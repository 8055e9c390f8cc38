#include "map/server/ombrix_connection.h"

#include <exception>

#include "core/file_stream.h"
#include "core/user_abort.h"
#include "crs/coord_sys.h"
#include "crs/wkt.h"
#include "map/map_messages.h"
#include "map/services/main_window.h"
#include "platform/fs/fs.h"
#include "platform/win/window.h"

namespace {

constexpr UINT kStatusStringBase = 9000;

std::string Narrow(WStringView s) { return text::ToUtf8(s); }

WString Number(double v) { return text::Format(u"%.15g", v); }

// Escapes for an attribute value; in coordinate-system texts apostrophes
// become &quot; too, so the server always sees double-quoted text.
WString EscapeAttribute(WStringView s, bool quoteApostrophes) {
    WString out;
    for (WChar c : s) {
        switch (c) {
            case u'&': out += u"&amp;"; break;
            case u'<': out += u"&lt;"; break;
            case u'>': out += u"&gt;"; break;
            case u'"': out += u"&quot;"; break;
            case u'\'': out += quoteApostrophes ? u"&quot;" : u"&apos;"; break;
            default: out += c;
        }
    }
    return out;
}

const WChar* kHead =
    u"<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<OMBRXL version=\"1.1\">\r\n<REQUEST>\r\n";
const WChar* kTail = u"</REQUEST>\r\n</OMBRXL>\r\n";

WString EnvelopeLine(const CDoubleRect& e) {
    return u"<ENVELOPE minx=\"" + Number(e.xmin) + u"\" miny=\"" + Number(e.ymin) + u"\" maxx=\"" +
           Number(e.xmax) + u"\" maxy=\"" + Number(e.ymax) + u"\" />\r\n";
}

WString CoordSysLines(const WChar* feature, const WChar* filter) {
    WString out;
    if (feature && *feature)
        out += u"<FEATURECOORDSYS string=\"" + EscapeAttribute(feature, true) + u"\" />\r\n";
    if (filter && *filter)
        out += u"<FILTERCOORDSYS string=\"" + EscapeAttribute(filter, true) + u"\" />\r\n";
    return out;
}

WString ChangeExtension(WStringView path, WStringView extension) {
    WString p(path);
    const size_t slash = p.find_last_of(u"\\/");
    const size_t dot = p.rfind(u'.');
    if (dot != WString::npos && (slash == WString::npos || dot > slash)) p.resize(dot);
    return p + u"." + WString(extension);
}

}  // namespace

WString FormatInternetStatus(int code, const std::string& detail) {
    WString text = LoadMapString(kStatusStringBase + static_cast<UINT>(code));
    if (text.empty()) text = text::Format(u"%d-", code);
    if (code == net::kStatusResolving || code == net::kStatusResolved || code == net::kStatusConnecting) {
        text += u" ";
        text += text::FromUtf8(detail);
    }
    return text;
}

COmbrixSession::COmbrixSession() {
    m_http.SetAbortPoll([] { return IsAbortRequested(); });
    m_http.SetStatusSink([](int code, const std::string& detail) {
        IMainWindow* main = GetMainWindowServices();
        if (!main) return;
        main->SetStatusText(FormatInternetStatus(code, detail).c_str());
        // The thread waits in the exchange: show the text now.
        if (HWND bar = main->GetMainStatusBar()) UpdateWindow(bar);
    });
}

bool CMapServerResponse::Parse(WStringView text) {
    m_errorText.clear();
    if (!m_document.Parse(text)) {
        m_errorText = u"Parser Error, may be malformed response";
        return false;
    }
    CXmlNode* root = m_document.GetRoot();
    if (!root || root->GetName() != u"OMBRXL") {
        m_errorText = u"Root tag not OMBRXL";
        return false;
    }
    CXmlNode* response = root->FindChild(u"RESPONSE");
    if (!response) {
        m_errorText = u"RESPONSE tag not found";
        return false;
    }
    if (CXmlNode* error = response->FindChild(u"ERROR")) {
        m_errorText = error->GetText();
        return false;
    }
    return true;
}

COmbrixConnection::COmbrixConnection() = default;

COmbrixConnection::COmbrixConnection(WStringView server, const WChar* servlet, uint16_t port) {
    SetServer(server, servlet, port);
}

COmbrixConnection::~COmbrixConnection() { CloseLog(); }

void COmbrixConnection::SetServer(WStringView server, const WChar* servlet, uint16_t port) {
    m_server = server;
    m_servlet = servlet && *servlet ? WString(servlet) : WString(kDefaultServlet);
    m_port = port;
}

bool COmbrixConnection::Fail(WString text) {
    m_errorText = std::move(text);
    return false;
}

// ---- logging ----

void COmbrixConnection::OpenLog() {
    if (!m_logging || m_logOpen) return;
    const WString path = m_logPath.empty() ? WString(kDefaultLogPath) : m_logPath;
    const size_t slash = path.find_last_of(u'\\');
    if (slash != WString::npos && slash > 0) {
        const WString folder = path.substr(0, slash);
        if (!fs::Exists(folder)) fs::CreateDirectory(folder);
    }
    if (!m_logFile) m_logFile = std::make_unique<CFileStream>();
    if (!m_logFile->Open(path, CFileStream::modeReadWrite | CFileStream::modeCreate | CFileStream::modeNoTruncate |
                                   CFileStream::shareDenyNone))
        return;
    try {
        m_logFile->SeekToEnd();
        m_logOpen = true;
    } catch (const std::exception&) {
        m_logFile->Abort();
    }
}

void COmbrixConnection::LogBytes(const char* bytes, size_t n) {
    if (!m_logOpen) return;
    try {
        m_logFile->Write(bytes, n);
        m_logFile->Flush();
    } catch (const std::exception&) {
        // A log that cannot be written is given up; the exchange goes on.
        m_logFile->Abort();
        m_logOpen = false;
    }
}

void COmbrixConnection::LogAnsi(const char* text) { LogBytes(text, std::char_traits<char>::length(text)); }

void COmbrixConnection::LogWide(WStringView text) {
    if (!m_logOpen) return;
    try {
        m_logFile->WriteString(text);
        m_logFile->Flush();
    } catch (const std::exception&) {
        m_logFile->Abort();
        m_logOpen = false;
    }
}

void COmbrixConnection::CloseLog() {
    if (!m_logOpen) return;
    m_logFile->Abort();
    m_logOpen = false;
}

// ---- exchanges ----

bool COmbrixConnection::SendRequest(WStringView parameters, const char* request, size_t count,
                                    WString& response, const WChar* savePath) {
    m_errorText.clear();
    m_cancelled = false;
    response.clear();
    OpenLog();
    LogAnsi("\r\nServer: ");
    LogWide(m_server);
    LogAnsi("\r\nServlet: ");
    LogWide(m_servlet);
    LogAnsi("\r\nParameters: ");
    LogWide(parameters);
    LogAnsi("\r\nRequest:\r\n");
    LogBytes(request, count);

    bool ok = false;
    try {
        WString object = m_servlet;
        if (object.empty() || object[0] != u'/') object.insert(0, u"/");
        object += u"?";
        object += parameters;
        net::Url url;
        url.scheme = Narrow(m_scheme);
        url.host = Narrow(m_server);
        url.ipv6 = url.host.find(':') != std::string::npos;
        url.port = m_port;
        url.object = Narrow(object);
        if (url.scheme != "http" && url.scheme != "https") {
            Fail(u"Only http and https servers are supported");
        } else if (url.host.empty()) {
            Fail(u"No server name");
        } else {
            net::HttpResult result =
                m_session.Http().Post(url, std::string(request, count), {"Content-type: text/xml;"});
            LogAnsi("\r\nResponse:\r\n");
            if (result.aborted) {
                m_cancelled = true;
                Fail(u"Cancelled");
            } else if (!result.ok) {
                Fail(text::FromUtf8(result.error));
            } else {
                std::string_view body = result.body;
                if (body.substr(0, 3) == "\xEF\xBB\xBF") body.remove_prefix(3);
                response = text::FromUtf8(body);
                LogWide(response);
                ok = true;
            }
            if (!ok) LogWide(m_errorText);
            LogAnsi("\r\nEnd Request\r\n");
        }
        if (ok && savePath && *savePath && !WriteTextFile(savePath, response, 1))
            ok = Fail(u"Cannot write " + WString(savePath));
    } catch (const std::exception& e) {
        ok = Fail(text::FromUtf8(e.what()));
    }
    CloseLog();
    if (!ok) response.clear();
    return ok;
}

bool COmbrixConnection::SendRequestText(WStringView parameters, WStringView request, WString& response,
                                        const WChar* savePath) {
    const std::string bytes = text::ToUtf8(request);
    return SendRequest(parameters, bytes.data(), bytes.size(), response, savePath);
}

bool COmbrixConnection::SendAndParse(WStringView parameters, WStringView request, CMapServerResponse& response,
                                     const WChar* savePath) {
    WString text;
    if (!SendRequestText(parameters, request, text, savePath)) return false;
    if (!response.Parse(text)) return Fail(response.GetErrorText());
    return true;
}

// ---- requests ----

WString COmbrixConnection::ServiceParameter(WStringView service) {
    static const char* hex = "0123456789ABCDEF";
    WString out = u"ServiceName=";
    for (unsigned char c : text::ToUtf8(service)) {
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '.' ||
            c == '_' || c == '~') {
            out += static_cast<WChar>(c);
        } else {
            out += u'%';
            out += static_cast<WChar>(hex[c >> 4]);
            out += static_cast<WChar>(hex[c & 15]);
        }
    }
    return out;
}

WString COmbrixConnection::BuildClientServicesRequest() { return u"<GETCLIENTSERVICES />\r\n"; }

WString COmbrixConnection::BuildServiceInfoRequest() {
    return WString(kHead) +
           u"<GET_SERVICE_INFO envelope=\"true\" renderer=\"false\" fields=\"false\" extensions=\"false\" />\r\n" +
           kTail;
}

WString COmbrixConnection::BuildImageRequest(const CDoubleRect& envelope, unsigned width, int height,
                                             COLORREF background, const WChar* featureCoordSys,
                                             const WChar* filterCoordSys) {
    WString out = kHead;
    out += u"<GET_IMAGE>\r\n<PROPERTIES>\r\n";
    out += EnvelopeLine(envelope);
    out += text::Format(u"<IMAGESIZE width=\"%u\" height=\"%d\" />\r\n", width, height);
    out += u"<OUTPUT type=\"JPG\" />\r\n";
    out += text::Format(u"<BACKGROUND color=\"%d,%d,%d\" />\r\n", static_cast<int>(background & 0xFF),
                        static_cast<int>((background >> 8) & 0xFF), static_cast<int>((background >> 16) & 0xFF));
    out += CoordSysLines(featureCoordSys, filterCoordSys);
    out += u"</PROPERTIES>\r\n</GET_IMAGE>\r\n";
    out += kTail;
    return out;
}

WString COmbrixConnection::BuildFeaturesRequest(WStringView layerId, const CDoubleRect& envelope,
                                                const WChar* featureCoordSys, const WChar* filterCoordSys) {
    WString out = kHead;
    out += u"<GET_FEATURES outputmode=\"newxml\" compact=\"true\" envelope=\"false\" geometry=\"false\" "
           u"checkesc=\"true\">\r\n";
    out += u"<LAYER id=\"" + EscapeAttribute(layerId, false) + u"\" />\r\n";
    out += u"<SPATIALQUERY>\r\n<SPATIALFILTER relation=\"area_intersection\">\r\n";
    out += EnvelopeLine(envelope);
    out += u"</SPATIALFILTER>\r\n";
    out += CoordSysLines(featureCoordSys, filterCoordSys);
    out += u"</SPATIALQUERY>\r\n</GET_FEATURES>\r\n";
    out += kTail;
    return out;
}

bool COmbrixConnection::GetClientServices(CMapServerResponse& response) {
    return SendAndParse(u"ServiceName=catalog", BuildClientServicesRequest(), response);
}

bool COmbrixConnection::GetServiceInfo(WStringView service, CMapServerResponse& response, const WChar* savePath) {
    return SendAndParse(ServiceParameter(service), BuildServiceInfoRequest(), response, savePath);
}

bool COmbrixConnection::GetFeatures(WStringView service, int layerId, const WChar* featureCoordSys,
                                    const WChar* filterCoordSys, const CDoubleRect& envelope,
                                    CMapServerResponse& response) {
    return GetFeatures(service, text::IntToText(layerId), featureCoordSys, filterCoordSys, envelope, response);
}

bool COmbrixConnection::GetFeatures(WStringView service, WStringView layerId, const WChar* featureCoordSys,
                                    const WChar* filterCoordSys, const CDoubleRect& envelope,
                                    CMapServerResponse& response) {
    return SendAndParse(ServiceParameter(service) + u"&CustomService=Query",
                        BuildFeaturesRequest(layerId, envelope, featureCoordSys, filterCoordSys), response);
}

bool COmbrixConnection::GetMapImage(WStringView service, WStringView imagePath, const CCoordSys* featureCoordSys,
                                    const CCoordSys* filterCoordSys, CDoubleRect& envelope, unsigned width,
                                    int height, COLORREF background) {
    const WString feature = featureCoordSys ? FormatWkt(*featureCoordSys, false) : WString();
    const WString filter = filterCoordSys ? FormatWkt(*filterCoordSys, false) : WString();
    return GetImage(service, imagePath, feature.c_str(), filter.c_str(), envelope, width, height, background);
}

bool COmbrixConnection::GetImage(WStringView service, WStringView imagePath, const WChar* featureCoordSys,
                                 const WChar* filterCoordSys, CDoubleRect& envelope, unsigned width, int height,
                                 COLORREF background) {
    if (width == 0 || height <= 0) return Fail(u"The image size is not valid");
    CMapServerResponse response;
    if (!SendAndParse(ServiceParameter(service),
                      BuildImageRequest(envelope, width, height, background, featureCoordSys, filterCoordSys),
                      response))
        return false;
    CDoubleRect extent;
    WString url, error;
    if (!ReadImageResponse(response, extent, url, error)) return Fail(error);
    if (!DownloadFile(imagePath, url)) return false;

    std::string world;
    world += text::FormatA("%.15g\r\n", (extent.xmax - extent.xmin) / width);
    world += "0\r\n0\r\n";
    world += text::FormatA("%.15g\r\n", -(extent.ymax - extent.ymin) / height);
    world += text::FormatA("%.15g\r\n", extent.xmin);
    world += text::FormatA("%.15g\r\n", extent.ymax);
    const WString worldPath = ChangeExtension(imagePath, u"jgw");
    if (!fs::WriteWholeFile(worldPath, world.data(), world.size())) return Fail(u"Cannot write " + worldPath);
    if (featureCoordSys && *featureCoordSys) {
        const std::string prj = text::ToLatin1(featureCoordSys);
        const WString prjPath = ChangeExtension(imagePath, u"prj");
        if (!fs::WriteWholeFile(prjPath, prj.data(), prj.size())) return Fail(u"Cannot write " + prjPath);
    }
    envelope = extent;
    return true;
}

bool COmbrixConnection::ReadImageResponse(const CMapServerResponse& response, CDoubleRect& envelope,
                                          WString& url, WString& error) {
    CXmlNode* root = response.GetRoot();
    if (!root) {
        error = u"Parser Error, may be malformed response";
        return false;
    }
    CXmlNode* image = root->GetName() == u"IMAGE" ? root : root->FindChild(u"IMAGE", true);
    if (!image) {
        error = u"IMAGE tag not found";
        return false;
    }
    CXmlNode* env = image->FindChild(u"ENVELOPE");
    if (!env) {
        error = u"ENVELOPE tag not found in IMAGE";
        return false;
    }
    CXmlNode* output = image->FindChild(u"OUTPUT");
    if (!output || output->GetAttribute(u"url").empty()) {
        error = u"OUTPUT tag not found in IMAGE";
        return false;
    }
    envelope = CDoubleRect(env->GetAttributeDouble(u"minx", 0), env->GetAttributeDouble(u"miny", 0),
                           env->GetAttributeDouble(u"maxx", 0), env->GetAttributeDouble(u"maxy", 0));
    url = output->GetAttribute(u"url");
    return true;
}

bool COmbrixConnection::DownloadFile(WStringView localPath, WStringView url) {
    m_errorText.clear();
    m_cancelled = false;
    const std::optional<net::Url> parsed = net::ParseUrl(text::ToUtf8(url));
    if (!parsed) return Fail(u"The image address is not an http or https URL: " + WString(url));
    net::HttpResult result;
    try {
        result = m_session.Http().Get(*parsed, kMaxImageBytes);
    } catch (const std::exception& e) {
        return Fail(text::FromUtf8(e.what()));
    }
    if (result.aborted) {
        m_cancelled = true;
        return Fail(u"Cancelled");
    }
    if (!result.ok) return Fail(text::FromUtf8(result.error));
    if (!fs::WriteWholeFile(localPath, result.body.data(), result.body.size()))
        return Fail(u"Cannot write " + WString(localPath));
    return true;
}
