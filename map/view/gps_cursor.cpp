#include "map/view/gps_cursor.h"

#include "platform/res/resource.h"
#include "platform/win/dialog.h"

GpsCursor::GpsCursor()
    : m_images(
          ImageList_LoadBitmap(res::GetProgramModule(), MAKEINTRESOURCE(320), 32, 0, 0xFFFFFF)) {}

GpsCursor::~GpsCursor() {
    if (m_saveDc) DeleteDC(m_saveDc);
    if (m_images) ImageList_Destroy(m_images);
}
