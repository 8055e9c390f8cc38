// The view's icon in the notification area: the image it shows (0 none,
// 1 to 4) and the string id of an alert waiting behind the blinking icon
// (0 none).
#pragma once

#include <cstdint>

class TrayIconState {
public:
    int Image() const { return m_image; }
    void SetImage(int image) { m_image = image; }
    int PendingAlert() const { return m_pendingAlert; }
    void SetPendingAlert(int stringId) { m_pendingAlert = stringId; }

private:
    int32_t m_image = 0;
    int32_t m_pendingAlert = 0;
};
