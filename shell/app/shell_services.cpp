#include "shell/app/shell_services.h"

#include "shell/app/app_services.h"

const LayerExtensionInfo* CShellServices::FindLayerExtension(WStringView path) {
    return m_extensions ? m_extensions->FindLayerExtension(path) : nullptr;
}
