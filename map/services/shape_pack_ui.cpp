#include "map/services/shape_pack_ui.h"

#include "core/language_module.h"
#include "core/progress_wnd.h"
#include "formats/message_sink.h"
#include "platform/win/msgbox.h"
#include "platform/win/winconst.h"

// The pack's styles and answers are the message box's own.
static_assert(kEBoxOk == MB_OK && kEBoxYesNo == MB_YESNO);
static_assert(kEIconError == MB_ICONHAND && kEIconWarning == MB_ICONEXCLAMATION &&
              kEIconInformation == MB_ICONINFORMATION);
static_assert(kEAnswerOk == IDOK && kEAnswerYes == IDYES && kEAnswerCancel == IDCANCEL &&
              kEAnswerRetry == IDRETRY);

CPlatformPackUi::CPlatformPackUi(HWND owner) : m_owner(owner) {}

CPlatformPackUi::~CPlatformPackUi() {
    EndProgress();
}

int CPlatformPackUi::MessageBox(const WString& text, UINT type) {
    return ::MessageBox(m_owner, text.c_str(), nullptr, type);
}

WString CPlatformPackUi::LoadString(UINT id) {
    CLanguageModule* lang = GetLanguageModule();
    const WString s = lang ? lang->LoadString(id, true) : WString();
    return s.empty() ? IPackUi::LoadString(id) : s;
}

void CPlatformPackUi::BeginProgress(const WString& title, int range, int step,
                                    const WString& status) {
    EndProgress();
    m_progress = std::make_unique<CProgressWnd>();
    if (!m_progress->GoModal(m_owner, title.c_str())) {
        m_progress.reset();
        return;
    }
    m_progress->SetRange(0, range, step);
    m_progress->SetStatusText(u"%s", status.c_str());
}

bool CPlatformPackUi::StepProgress() {
    if (!m_progress) return true;
    m_progress->StepIt();
    return m_progress->PumpMessages();
}

void CPlatformPackUi::EndProgress() {
    if (!m_progress) return;
    m_progress->DestroyWindow();
    m_progress.reset();
}

void CPlatformPackUi::Beep(UINT type) {
    MessageBeep(type);
}
