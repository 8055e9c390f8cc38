// The host's user interface answered by a script: every prompt takes the next
// answer of a queue and goes to a log with its caption, text, icon and
// buttons; so does every beep. A prompt with no answer queued, or with an
// answer that does not fit it, ends the run (exit status 3 in the program)
// with the prompt in the log. It never waits.
//
// Answers, one a line (blank lines and lines starting with # are skipped):
//   message "Caption" Yes                  a message box; the button pressed
//   folder "Prompt" path=/tmp/out          the folder picker (or: cancel)
//   file "Title" path=/tmp/a.shp           the file dialog (or: cancel)
//   dialog "Caption" press="Yes to &All"   an add-in dialog, then its actions
//          type="name=text" tick="list=entry" choose=option key=Escape close
// A word with blanks is quoted; \" and \\ stand for " and \ inside quotes.
#pragma once

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "desktop/host/host_interfaces.h"

namespace host {

struct ScriptedAnswer {
    std::string kind;
    std::string caption;
    std::vector<std::pair<std::string, std::string>> actions;  // word, argument
    int line = 0;
};

// Parses an answers text; nothing (and the line in *errorLine) when a line
// cannot be read.
std::optional<std::deque<ScriptedAnswer>> ParseAnswers(const std::string& text, int* errorLine);

class ScriptedHostUi : public IHostUi {
public:
    // Called with the prompt's description when it cannot be answered; it
    // must not return (the program exits with status 3, tests throw).
    using Unanswered = std::function<void(const std::string& prompt)>;

    ScriptedHostUi(std::deque<ScriptedAnswer> answers, Unanswered unanswered);

    PromptAnswer MessageBox(const std::string& caption, const std::string& text, PromptIcon icon,
                            PromptButtons buttons) override;
    std::string BrowseForFolder(const std::string& prompt) override;
    std::string FileDialog(bool save, const std::string& title, const std::string& filter,
                           unsigned flags, const std::string& defaultExtension) override;
    void Beep() override;
    void PumpMessages() override {}
    void SetWaitCursor(bool) override {}
    void RunDialog(IHostDialog& dialog) override;

    // Everything prompted and answered so far.
    const std::string& Log() const { return m_log; }
    // Lines the host adds of its own (add-ins refused, identifiers unknown).
    void Note(const std::string& line);
    size_t AnswersLeft() const { return m_answers.size(); }
    int Beeps() const { return m_beeps; }

private:
    // The next answer of the kind and caption; calls the unanswered handler
    // (which does not return) when there is none that fits.
    ScriptedAnswer Next(const std::string& kind, const std::string& caption,
                        const std::string& prompt);
    [[noreturn]] void Fail(const std::string& prompt, const std::string& why);
    // The folder picker's and the file dialog's answers: a path or cancel.
    std::string PathAnswer(const std::string& kind, const std::string& caption, const std::string& prompt);

    std::deque<ScriptedAnswer> m_answers;
    Unanswered m_unanswered;
    std::string m_log;
    int m_beeps = 0;
};

}  // namespace host
