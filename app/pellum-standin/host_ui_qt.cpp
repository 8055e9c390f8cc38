#include "app/pellum-standin/host_ui_qt.h"

#include <QApplication>
#include <QFileDialog>
#include <QGuiApplication>
#include <QMessageBox>

namespace pellum {

std::string QtFilter(const std::string& filter) {
    std::vector<std::string> parts;
    size_t start = 0;
    while (start <= filter.size()) {
        size_t bar = filter.find('|', start);
        if (bar == std::string::npos) bar = filter.size();
        parts.push_back(filter.substr(start, bar - start));
        start = bar + 1;
    }
    std::string out;
    for (size_t i = 0; i + 1 < parts.size(); i += 2) {
        if (parts[i].empty()) continue;
        std::string patterns = parts[i + 1];
        for (char& c : patterns)
            if (c == ';') c = ' ';
        if (!out.empty()) out += ";;";
        out += parts[i] + " (" + patterns + ")";
    }
    return out;
}

host::PromptAnswer QtHostUi::MessageBox(const std::string& caption, const std::string& text,
                                        host::PromptIcon icon, host::PromptButtons buttons) {
    QMessageBox box(m_owner);
    box.setWindowTitle(QString::fromStdString(caption));
    box.setText(QString::fromStdString(text));
    switch (icon) {
        case host::PromptIcon::None:
            box.setIcon(QMessageBox::NoIcon);
            break;
        case host::PromptIcon::Information:
            box.setIcon(QMessageBox::Information);
            break;
        case host::PromptIcon::Exclamation:
            box.setIcon(QMessageBox::Warning);
            break;
        case host::PromptIcon::Stop:
            box.setIcon(QMessageBox::Critical);
            break;
        case host::PromptIcon::Question:
            box.setIcon(QMessageBox::Question);
            break;
    }
    QMessageBox::StandardButtons b;
    switch (buttons) {
        case host::PromptButtons::Ok:
            b = QMessageBox::Ok;
            break;
        case host::PromptButtons::OkCancel:
            b = QMessageBox::Ok | QMessageBox::Cancel;
            break;
        case host::PromptButtons::YesNo:
            b = QMessageBox::Yes | QMessageBox::No;
            break;
        case host::PromptButtons::YesNoCancel:
            b = QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
            break;
        case host::PromptButtons::RetryCancel:
            b = QMessageBox::Retry | QMessageBox::Cancel;
            break;
    }
    box.setStandardButtons(b);
    switch (box.exec()) {
        case QMessageBox::Ok:
            return host::PromptAnswer::Ok;
        case QMessageBox::Yes:
            return host::PromptAnswer::Yes;
        case QMessageBox::No:
            return host::PromptAnswer::No;
        case QMessageBox::Retry:
            return host::PromptAnswer::Retry;
        default:
            return host::PromptAnswer::Cancel;
    }
}

std::string QtHostUi::BrowseForFolder(const std::string& prompt) {
    return QFileDialog::getExistingDirectory(m_owner, QString::fromStdString(prompt)).toStdString();
}

std::string QtHostUi::FileDialog(bool save, const std::string& title, const std::string& filter,
                                 unsigned flags, const std::string& defaultExtension) {
    QFileDialog dialog(m_owner, QString::fromStdString(title));
    dialog.setNameFilter(QString::fromStdString(QtFilter(filter)));
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(save || !(flags & host::kFileMustExist) ? QFileDialog::AnyFile
                                                               : QFileDialog::ExistingFile);
    if (!(flags & host::kFileOverwritePrompt)) dialog.setOption(QFileDialog::DontConfirmOverwrite);
    if (!defaultExtension.empty())
        dialog.setDefaultSuffix(QString::fromStdString(defaultExtension));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return "";
    return dialog.selectedFiles().front().toStdString();
}

void QtHostUi::Beep() {
    QApplication::beep();
}

void QtHostUi::PumpMessages() {
    QCoreApplication::processEvents();
}

void QtHostUi::SetWaitCursor(bool on) {
    if (on)
        QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    else
        QGuiApplication::restoreOverrideCursor();
}

}  // namespace pellum
