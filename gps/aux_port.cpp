#include "gps/aux_port.h"

#include "map/services/script_events.h"

namespace {

HWND g_mainWindow = nullptr;
CAuxPort* g_aux = nullptr;

}  // namespace

void CAuxPort::SetMainWindow(HWND window) {
    g_mainWindow = window;
}

CAuxPort* CAuxPort::GetAux() { return g_aux; }

void CAuxPort::SetAux(CAuxPort* aux) { g_aux = aux; }

bool CAuxPort::Open(HWND notify, bool buffered) {
    if (!port_.Open(nullptr)) return false;
    if (!port_.IsReading()) port_.StartReader(notify ? notify : g_mainWindow, buffered);
    // The claiming extension hears of it before the scripts.
    if (claim_) claim_->Aux(port_.Descriptor(), 1, claimHandle_, nullptr, 0);
    FireScriptEvent(source_, kOnOpen, true, 0);
    return true;
}

void CAuxPort::Close() {
    FireScriptEvent(source_, kOnClose, true, 0);
    if (claim_) claim_->Aux(port_.Descriptor(), 2, claimHandle_, nullptr, 0);
    port_.Close();
}

void CAuxPort::OnReceive(const uint8_t* buffer, int length) {
    if (claim_) {
        if (buffer)
            claim_->Aux(port_.Descriptor(), 3, claimHandle_, reinterpret_cast<const char*>(buffer), length);
        else
            claim_->Aux(port_.Descriptor(), 3, claimHandle_, nullptr, 0);
        return;
    }
    commEvent_ = 2;
    FireScriptEvent(source_, kOnComm, true, 0);
    commEvent_ = 0;
}

void CAuxPort::SetClaim(IAuxExtension* extension, void* handle) {
    claim_ = extension;
    claimHandle_ = handle;
}

void CAuxPort::ClearClaim() {
    claim_ = nullptr;
    claimHandle_ = nullptr;
}
