#include "map/services/gps.h"

#include <cfloat>
#include <cmath>
#include <cstring>

CInactiveGps::CInactiveGps() { std::memset(&m_position, 0, sizeof(m_position)); }

namespace {

IGps* g_gps = nullptr;
IGpsFeed* g_gpsFeed = nullptr;

}  // namespace

IGps* GetGps() {
    static CInactiveGps inactive;
    return g_gps ? g_gps : &inactive;
}

void SetGps(IGps* gps) { g_gps = gps; }

IGpsFeed* GetGpsFeed() { return g_gpsFeed; }

void SetGpsFeed(IGpsFeed* feed) { g_gpsFeed = feed; }

bool IsNoData(double value) { return std::isnan(value) || value == -DBL_MAX; }
