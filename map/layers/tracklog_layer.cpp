#include "map/layers/tracklog_layer.h"

#include "map/map_messages.h"
#include "resources/zres.h"

CTracklogLayer::CTracklogLayer() {
    SetDisplayClass(DisplayClass::Tracklog);
    SetName(LoadMapString(IDS_GPS_TRACKLOG));
    SetVisible(false);
    CDoubleRect empty;
    empty.SetEmpty();
    SetExtent(empty);
}

CTracklogLayer::~CTracklogLayer() = default;

bool CTracklogLayer::OpenFile(int) { return false; }

void CTracklogLayer::CloseFile() { m_fileOpen = false; }

bool CTracklogLayer::AppendPosition(CCoordSys*, const GpsFix&, const GpsFix&, const GpsFix&,
                                    const GpsPosition&) {
    return false;
}

bool CTracklogLayer::Draw(HDC, bool, bool) { return false; }

void CTracklogLayer::GetExtent(CDoubleRect& extent) { extent = StoredExtent(); }
