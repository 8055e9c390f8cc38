// Where the file readers report a condition the user may want to see (a
// window that could not be mapped, a damaged picture). The default sink drops
// it; the user interface installs one that shows a message box. Tests
// capture the messages.
#pragma once

#include <functional>

#include "platform/text/text.h"

using EMessageSink = std::function<void(const WString& text, const WString& caption)>;
void ESetMessageSink(EMessageSink sink);
void EReportMessage(const WString& text, const WString& caption);

// Where a reader asks the user whether to retry (a memory shortage while
// decoding). The hook gets the text and caption and answers kEAnswerRetry or
// kEAnswerCancel; without one the answer is Cancel, so a run without a
// display never waits on a question nobody can see.
constexpr int kEAnswerCancel = 2;
constexpr int kEAnswerRetry = 4;
using EQuestionHook = std::function<int(const WString& text, const WString& caption)>;
void ESetQuestionHook(EQuestionHook hook);
int EAskRetryCancel(const WString& text, const WString& caption);

// Styles and answers of the messages an engine shows through an interface its
// caller gives (the shapefile pack's questions and reports), numbered as the
// platform's message boxes number theirs, so the user interface passes them on.
constexpr unsigned kEBoxOk = 0x0;
constexpr unsigned kEBoxYesNo = 0x4;
constexpr unsigned kEIconError = 0x10;
constexpr unsigned kEIconWarning = 0x30;
constexpr unsigned kEIconInformation = 0x40;
constexpr int kEAnswerOk = 1;
constexpr int kEAnswerYes = 6;
