// The map server client: posts OMBRXL requests to a server's servlet over
// HTTP, reads the UTF-8 answers, downloads result images, logs each exchange
// and shows the progress in the main window's status bar. Everything runs on
// the calling thread; a tap (or the program's abort message) cancels.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "core/double_rect.h"
#include "core/xml_node.h"
#include "platform/net/http.h"
#include "platform/text/text.h"
#include "platform/types.h"

class CCoordSys;
class CFileStream;

// The status text of an internet status code: string 9000 + code from the
// current resources, else "%d-"; codes 10, 11 and 20 get a blank and the
// detail (host or address) after it.
WString FormatInternetStatus(int code, const std::string& detail);

// The session of one connection: limits, abort poll and status texts, which
// go to pane 0 of the main status bar.
class COmbrixSession {
public:
    COmbrixSession();
    net::HttpSession& Http() { return m_http; }
    net::HttpSettings& Settings() { return m_http.Settings(); }

private:
    net::HttpSession m_http;
};

// A parsed response and the reason it was refused.
class CMapServerResponse {
public:
    // True when the text is a well-formed OMBRXL response without ERROR.
    bool Parse(WStringView text);
    CXmlDocument& GetDocument() { return m_document; }
    CXmlNode* GetRoot() const { return m_document.GetRoot(); }
    const WString& GetErrorText() const { return m_errorText; }

private:
    CXmlDocument m_document;
    WString m_errorText;
};

class COmbrixConnection {
public:
    static constexpr const WChar* kDefaultServlet = u"/servlet/com.qova.qovamap.Qovamap";
    static constexpr const WChar* kDefaultLogPath = u"\\Temp\\ombrix.log";
    // Image downloads stop at this size.
    static constexpr uint64_t kMaxImageBytes = 32u << 20;

    COmbrixConnection();
    COmbrixConnection(WStringView server, const WChar* servlet, uint16_t port);
    virtual ~COmbrixConnection();
    COmbrixConnection(const COmbrixConnection&) = delete;
    COmbrixConnection& operator=(const COmbrixConnection&) = delete;

    // Null or empty servlet: the default servlet.
    void SetServer(WStringView server, const WChar* servlet, uint16_t port);
    // "http" (the default) or "https".
    void SetScheme(WStringView scheme) { m_scheme = scheme; }
    const WString& GetServer() const { return m_server; }
    const WString& GetServlet() const { return m_servlet; }
    uint16_t GetPort() const { return m_port; }
    const WString& GetScheme() const { return m_scheme; }

    void SetLogging(bool logging) { m_logging = logging; }
    // Empty: the default log.
    void SetLogPath(WStringView path) { m_logPath = path; }
    COmbrixSession& GetSession() { return m_session; }

    // Why the last operation failed (empty after a success).
    const WString& GetErrorText() const { return m_errorText; }
    // Whether the last exchange was cancelled by the user.
    bool WasCancelled() const { return m_cancelled; }

    // Posts the request bytes to servlet?parameters; true when a 2xx answer
    // arrived whole. The answer is decoded from UTF-8 and, with a save path,
    // written to that file as UTF-8.
    bool SendRequest(WStringView parameters, const char* request, size_t count, WString& response,
                     const WChar* savePath = nullptr);
    // The same with the request as text, sent as UTF-8.
    bool SendRequestText(WStringView parameters, WStringView request, WString& response,
                         const WChar* savePath = nullptr);
    bool SendAndParse(WStringView parameters, WStringView request, CMapServerResponse& response,
                      const WChar* savePath = nullptr);

    bool GetClientServices(CMapServerResponse& response);
    bool GetServiceInfo(WStringView service, CMapServerResponse& response, const WChar* savePath = nullptr);
    // The systems are sent as well-known text when given.
    bool GetMapImage(WStringView service, WStringView imagePath, const CCoordSys* featureCoordSys,
                     const CCoordSys* filterCoordSys, CDoubleRect& envelope, unsigned width, int height,
                     COLORREF background);
    // The systems as plain well-known text (escaped here); null or empty
    // leaves the line out. The envelope becomes the server's on success only.
    bool GetImage(WStringView service, WStringView imagePath, const WChar* featureCoordSys,
                  const WChar* filterCoordSys, CDoubleRect& envelope, unsigned width, int height,
                  COLORREF background);
    bool GetFeatures(WStringView service, WStringView layerId, const WChar* featureCoordSys,
                     const WChar* filterCoordSys, const CDoubleRect& envelope, CMapServerResponse& response);
    bool GetFeatures(WStringView service, int layerId, const WChar* featureCoordSys,
                     const WChar* filterCoordSys, const CDoubleRect& envelope, CMapServerResponse& response);
    // Downloads to a temporary file beside the target, renamed over it only
    // when the whole answer arrived with a 2xx status.
    bool DownloadFile(WStringView localPath, WStringView url);

    // The request texts.
    static WString BuildClientServicesRequest();
    static WString BuildServiceInfoRequest();
    static WString BuildImageRequest(const CDoubleRect& envelope, unsigned width, int height,
                                     COLORREF background, const WChar* featureCoordSys,
                                     const WChar* filterCoordSys);
    static WString BuildFeaturesRequest(WStringView layerId, const CDoubleRect& envelope,
                                        const WChar* featureCoordSys, const WChar* filterCoordSys);
    // The image's envelope and address from a parsed image response; false
    // with the reason when IMAGE, its ENVELOPE or its OUTPUT url is missing.
    static bool ReadImageResponse(const CMapServerResponse& response, CDoubleRect& envelope, WString& url,
                                  WString& error);
    // "ServiceName=" and the name's UTF-8 bytes, percent-encoded except
    // letters, digits and -._~
    static WString ServiceParameter(WStringView service);

private:
    void OpenLog();
    void LogAnsi(const char* text);
    void LogWide(WStringView text);
    void LogBytes(const char* bytes, size_t n);
    void CloseLog();
    bool Fail(WString text);

    COmbrixSession m_session;
    WString m_server;
    WString m_servlet = kDefaultServlet;
    uint16_t m_port = 80;
    WString m_scheme = u"http";
    bool m_logging = false;
    WString m_logPath;
    std::unique_ptr<CFileStream> m_logFile;
    bool m_logOpen = false;
    WString m_errorText;
    bool m_cancelled = false;
};
