#include "formats/message_sink.h"

#include <mutex>

namespace {

std::mutex g_sinkLock;
EMessageSink& Sink() {
    static EMessageSink sink;
    return sink;
}

}  // namespace

void ESetMessageSink(EMessageSink sink) {
    std::lock_guard<std::mutex> lock(g_sinkLock);
    Sink() = std::move(sink);
}

void EReportMessage(const WString& text, const WString& caption) {
    EMessageSink sink;
    {
        std::lock_guard<std::mutex> lock(g_sinkLock);
        sink = Sink();
    }
    if (sink) sink(text, caption);
}

namespace {

EQuestionHook& QuestionHook() {
    static EQuestionHook hook;
    return hook;
}

}  // namespace

void ESetQuestionHook(EQuestionHook hook) {
    std::lock_guard<std::mutex> lock(g_sinkLock);
    QuestionHook() = std::move(hook);
}

int EAskRetryCancel(const WString& text, const WString& caption) {
    EQuestionHook hook;
    {
        std::lock_guard<std::mutex> lock(g_sinkLock);
        hook = QuestionHook();
    }
    if (!hook) return kEAnswerCancel;
    return hook(text, caption) == kEAnswerRetry ? kEAnswerRetry : kEAnswerCancel;
}
