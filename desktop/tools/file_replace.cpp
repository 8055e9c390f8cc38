#include "desktop/tools/file_replace.h"

namespace zntools8 {

const char* const FileReplaceDialog::kButtons[4] = {"&Yes", "Yes to &All", "&No", "Cancel"};

std::string FileReplaceDialog::Label1() const {
    return "This folder already contains a " + m_type + " named '" + m_name + "'";
}

void FileReplaceDialog::Press(int index) {
    m_value = index;
    m_finished = true;
}

std::string FileReplaceDialog::Describe() const {
    return "label1: " + Label1() + "\nlabel2: " + Label2() +
           "\nbuttons: &Yes|Yes to &All|&No|Cancel\n";
}

bool FileReplaceDialog::Act(const std::string& action, const std::string& argument) {
    if (action == "press") {
        for (int i = 0; i < 4; ++i) {
            std::string plain;
            for (const char* p = kButtons[i]; *p; ++p)
                if (*p != '&') plain += *p;
            if (argument == kButtons[i] || argument == plain) {
                Press(i);
                return true;
            }
        }
        return false;
    }
    if (action == "key") {
        if (argument == "Escape" || argument == "Alt+F4") {
            Press(kCancel);
            return true;
        }
        // The access letters of the buttons.
        static const char* kAccess[] = {"Alt+Y", "Alt+A", "Alt+N"};
        for (int i = 0; i < 3; ++i) {
            if (argument == kAccess[i]) {
                Press(i);
                return true;
            }
        }
        return false;
    }
    if (action == "close" && argument.empty()) {
        Press(kCancel);
        return true;
    }
    return false;
}

int AskFileReplace(host::IHostUi& ui, const std::string& fileName, const std::string& fileType) {
    FileReplaceDialog dialog(ui);
    dialog.SetFilename(fileName);
    dialog.SetFileType(fileType);
    ui.RunDialog(dialog);
    return dialog.GetValue();
}

}  // namespace zntools8
