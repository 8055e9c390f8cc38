// The Send Message dialog: a text, typically an NMEA command sentence, sent
// to the receiver through the open GPS port, with its checksum added on
// request, loaded from or saved to a text file.
#pragma once

#include "core/dialog_ext.h"
#include "platform/win/framework.h"

class CSerialPort;

class CGpsMessageDlg : public CDialogExt {
public:
    explicit CGpsMessageDlg(HWND parent = nullptr);

    // Runs the dialog for the port (none: Send does nothing).
    intptr_t Run(CSerialPort* port);

    bool OnInitDialog() override;
    bool OnCommand(WPARAM wParam, LPARAM lParam) override;
    // Send: the dialog stays open.
    void OnOK() override;

    // The text with its NMEA checksum: trailing white space removed; a text
    // that is empty or does not start with '$' comes back as it is; else
    // "*" and the XOR of the characters between '$' and the first '*' in two
    // hexadecimal digits replace everything from the first '*' on.
    static WString AddChecksum(WStringView text);

    const WString& GetLastPath() const { return m_lastPath; }
    void SetLastPath(const WString& path) { m_lastPath = path; }

private:
    void Send();
    void OnAddChecksum();
    void OnOpen();
    void OnSave();
    WString GetText() const;
    void SetText(const WString& text);

    CSerialPort* m_port = nullptr;
    WString m_lastPath;
    win::BitmapButton m_openButton;
    win::BitmapButton m_saveButton;
};
