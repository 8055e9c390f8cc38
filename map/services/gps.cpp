#include "map/services/gps.h"

#include <cfloat>
#include <cmath>
#include <cstring>

namespace {

class CInactiveGps final : public IGps {
public:
    CInactiveGps() { std::memset(&m_position, 0, sizeof(m_position)); }
    bool IsGpsActive() override { return false; }
    bool Open(const WChar*, HWND, int, const GpsLocation&, const WChar*) override { return false; }
    void Close() override {}
    bool Parse(const void*) override { return false; }
    void Poll() override {}
    bool UpdatePosition(CCoordSys*, GpsPosition*) override { return false; }
    bool SetDatum(WStringView) override { return false; }
    void SetPosition(const GpsLocation&) override {}
    void InvalidateFix() override {}
    void FireEvent(int, int) override {}
    bool IsProtocol(const char*) override { return false; }
    void SetChecksumRequired(bool) override {}
    bool HasFix() override { return false; }
    bool CheckDgps() override { return true; }
    bool Check3D() override { return true; }
    bool CheckMaxPdop() override { return true; }
    bool CheckMaxEpe() override { return true; }
    bool IsPositionAcceptable() override { return false; }
    void StartAveraging() override {}
    void StopAveraging() override {}
    GpsFix GetWgs84Fix() override { return {}; }
    GpsFix GetDatumFix() override { return {}; }
    GpsFix GetProjectedFix() override { return {}; }
    GpsFix GetAveragedFix() override { return {}; }
    int32_t GetAveragedCount() override { return 0; }
    GpsPosition& Position() override { return m_position; }
    IGpsPort* Port() override { return nullptr; }
    void RaiseAlert(HWND, int, HWND) override {}
    void ShowPositionWindow() override {}
    void UpdatePositionWindow(CCoordSys*) override {}
    void ClosePositionWindow() override {}
    bool IsPositionWindowOpen() override { return false; }
    void RunSendMessage() override {}

private:
    GpsPosition m_position;
};

IGps* g_gps = nullptr;

}  // namespace

IGps* GetGps() {
    static CInactiveGps inactive;
    return g_gps ? g_gps : &inactive;
}

void SetGps(IGps* gps) { g_gps = gps; }

bool IsNoData(double value) { return std::isnan(value) || value == -DBL_MAX; }
