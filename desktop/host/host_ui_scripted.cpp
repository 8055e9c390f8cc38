#include "desktop/host/host_ui_scripted.h"

#include <cstdlib>

namespace host {
namespace {

const char* IconName(PromptIcon i) {
    switch (i) {
        case PromptIcon::None:
            return "none";
        case PromptIcon::Information:
            return "information";
        case PromptIcon::Exclamation:
            return "exclamation";
        case PromptIcon::Stop:
            return "stop";
        case PromptIcon::Question:
            return "question";
    }
    return "none";
}

std::vector<std::pair<std::string, PromptAnswer>> ButtonsOf(PromptButtons b) {
    switch (b) {
        case PromptButtons::Ok:
            return {{"OK", PromptAnswer::Ok}};
        case PromptButtons::OkCancel:
            return {{"OK", PromptAnswer::Ok}, {"Cancel", PromptAnswer::Cancel}};
        case PromptButtons::YesNo:
            return {{"Yes", PromptAnswer::Yes}, {"No", PromptAnswer::No}};
        case PromptButtons::YesNoCancel:
            return {{"Yes", PromptAnswer::Yes},
                    {"No", PromptAnswer::No},
                    {"Cancel", PromptAnswer::Cancel}};
        case PromptButtons::RetryCancel:
            return {{"Retry", PromptAnswer::Retry}, {"Cancel", PromptAnswer::Cancel}};
    }
    return {};
}

// Splits a line into words: blanks separate, "..." quotes (with \" and \\).
std::optional<std::vector<std::string>> Words(const std::string& line) {
    std::vector<std::string> out;
    size_t i = 0;
    while (i < line.size()) {
        if (line[i] == ' ' || line[i] == '\t' || line[i] == '\r') {
            ++i;
            continue;
        }
        std::string w;
        while (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != '\r') {
            if (line[i] == '"') {
                ++i;
                bool closed = false;
                while (i < line.size()) {
                    if (line[i] == '\\' && i + 1 < line.size()) {
                        w += line[i + 1];
                        i += 2;
                    } else if (line[i] == '"') {
                        ++i;
                        closed = true;
                        break;
                    } else {
                        w += line[i++];
                    }
                }
                if (!closed) return std::nullopt;
            } else {
                w += line[i++];
            }
        }
        out.push_back(w);
    }
    return out;
}

}  // namespace

std::optional<std::deque<ScriptedAnswer>> ParseAnswers(const std::string& text, int* errorLine) {
    std::deque<ScriptedAnswer> out;
    size_t start = 0;
    int lineNo = 0;
    while (start <= text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        const std::string line = text.substr(start, end - start);
        ++lineNo;
        start = end + 1;
        auto words = Words(line);
        if (!words) {
            if (errorLine) *errorLine = lineNo;
            return std::nullopt;
        }
        if (words->empty() || (*words)[0][0] == '#') {
            if (end == text.size()) break;
            continue;
        }
        const std::string& kind = (*words)[0];
        if ((kind != "message" && kind != "folder" && kind != "file" && kind != "dialog") ||
            words->size() < 2) {
            if (errorLine) *errorLine = lineNo;
            return std::nullopt;
        }
        ScriptedAnswer a{kind, (*words)[1], {}, lineNo};
        for (size_t i = 2; i < words->size(); ++i) {
            const std::string& w = (*words)[i];
            const size_t eq = w.find('=');
            if (eq == std::string::npos)
                a.actions.emplace_back(w, "");
            else
                a.actions.emplace_back(w.substr(0, eq), w.substr(eq + 1));
        }
        out.push_back(std::move(a));
        if (end == text.size()) break;
    }
    return out;
}

ScriptedHostUi::ScriptedHostUi(std::deque<ScriptedAnswer> answers, Unanswered unanswered)
    : m_answers(std::move(answers)), m_unanswered(std::move(unanswered)) {}

void ScriptedHostUi::Note(const std::string& line) {
    m_log += "[note] " + line + "\n";
}

void ScriptedHostUi::Fail(const std::string& prompt, const std::string& why) {
    m_log += "[unanswered] " + why + "\n";
    m_unanswered(prompt);
    std::abort();  // the handler must not return
}

ScriptedAnswer ScriptedHostUi::Next(const std::string& kind, const std::string& caption,
                                    const std::string& prompt) {
    if (m_answers.empty()) Fail(prompt, "no answer is left for this prompt");
    ScriptedAnswer a = m_answers.front();
    if (a.kind != kind || a.caption != caption)
        Fail(prompt, "the answer of line " + std::to_string(a.line) + " (" + a.kind + " \"" +
                         a.caption + "\") does not fit this prompt");
    m_answers.pop_front();
    return a;
}

PromptAnswer ScriptedHostUi::MessageBox(const std::string& caption, const std::string& text,
                                        PromptIcon icon, PromptButtons buttons) {
    const auto list = ButtonsOf(buttons);
    std::string names;
    for (const auto& b : list) names += (names.empty() ? "" : ",") + b.first;
    const std::string prompt = "[message] " + caption + "\nicon: " + IconName(icon) +
                               "\nbuttons: " + names + "\ntext: " + text + "\n";
    m_log += prompt;
    ScriptedAnswer a = Next("message", caption, prompt);
    if (a.actions.size() == 1 && a.actions[0].second.empty()) {
        for (const auto& b : list) {
            if (b.first == a.actions[0].first) {
                m_log += "answer: " + b.first + "\n";
                return b.second;
            }
        }
    }
    Fail(prompt, "the answer of line " + std::to_string(a.line) + " names no button of this box");
}

std::string ScriptedHostUi::PathAnswer(const std::string& kind, const std::string& caption, const std::string& prompt) {
    m_log += prompt;
    ScriptedAnswer a = Next(kind, caption, prompt);
    if (a.actions.size() == 1 && a.actions[0].first == "cancel" && a.actions[0].second.empty()) {
        m_log += "answer: cancel\n";
        return "";
    }
    if (a.actions.size() == 1 && a.actions[0].first == "path" && !a.actions[0].second.empty()) {
        m_log += "answer: " + a.actions[0].second + "\n";
        return a.actions[0].second;
    }
    Fail(prompt, "the answer of line " + std::to_string(a.line) + " is neither path=... nor cancel");
}

std::string ScriptedHostUi::BrowseForFolder(const std::string& prompt) {
    return PathAnswer("folder", prompt, "[folder] " + prompt + "\n");
}

std::string ScriptedHostUi::FileDialog(bool save, const std::string& title, const std::string& filter, unsigned flags,
                                       const std::string& defaultExtension) {
    return PathAnswer("file", title,
                      std::string("[file] ") + title + "\nmode: " + (save ? "save" : "open") + "\nfilter: " + filter +
                          "\nflags: " + std::to_string(flags) + "\nextension: " + defaultExtension + "\n");
}

void ScriptedHostUi::Beep() {
    ++m_beeps;
    m_log += "[beep]\n";
}

void ScriptedHostUi::RunDialog(IHostDialog& dialog) {
    const std::string text = "[dialog] " + dialog.Caption() + "\n" + dialog.Describe();
    m_log += text;
    if (!text.empty() && text.back() != '\n') m_log += "\n";
    ScriptedAnswer a = Next("dialog", dialog.Caption(), text);
    dialog.Activate();
    for (const auto& [word, argument] : a.actions) {
        if (dialog.Finished())
            Fail(text, "the dialog ended before the action " + word + " of line " +
                           std::to_string(a.line));
        if (!dialog.Act(word, argument))
            Fail(text, "the action " + word + (argument.empty() ? "" : "=" + argument) +
                           " of line " + std::to_string(a.line) + " does not fit this dialog");
        m_log += "action: " + word + (argument.empty() ? "" : "=" + argument) + "\n";
    }
    if (!dialog.Finished())
        Fail(text, "the answer of line " + std::to_string(a.line) + " does not end the dialog");
}

}  // namespace host
