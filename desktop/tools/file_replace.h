// "Confirm File Replace": asks whether an output file that exists may be
// replaced. Answers: 0 Yes, 1 Yes to All, 2 No, 3 Cancel. Closing the dialog
// any other way (its close button, Alt+F4, Escape) answers Cancel, never Yes.
// The exporter remembers Yes to All and Cancel for its run; a new dialog is
// made for every question.
#pragma once

#include <string>

#include "desktop/host/host_interfaces.h"

namespace zntools8 {

class FileReplaceDialog : public host::IHostDialog {
public:
    static constexpr int kYes = 0;
    static constexpr int kYesToAll = 1;
    static constexpr int kNo = 2;
    static constexpr int kCancel = 3;
    static const char* const kButtons[4];

    explicit FileReplaceDialog(host::IHostUi& ui) : m_ui(ui) {}

    void SetFilename(const std::string& name) { m_name = name; }
    void SetFileType(const std::string& type) { m_type = type; }
    int GetValue() const { return m_value; }
    std::string Label1() const;
    std::string Label2() const { return "Do you wish to replace this file?"; }

    // Stores the button's index and ends the dialog.
    void Press(int index);

    std::string Caption() const override { return "Confirm File Replace"; }
    std::string Describe() const override;
    void Activate() override { m_ui.Beep(); }
    bool Act(const std::string& action, const std::string& argument) override;
    bool Finished() const override { return m_finished; }
    void ShowQt() override;

private:
    host::IHostUi& m_ui;
    std::string m_name;
    std::string m_type;
    int m_value = 0;
    bool m_finished = false;
};

// One question: a new dialog shown through the host, its answer.
int AskFileReplace(host::IHostUi& ui, const std::string& fileName, const std::string& fileType);

}  // namespace zntools8
