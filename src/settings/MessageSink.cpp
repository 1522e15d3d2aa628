#include "settings/MessageSink.h"

#include <cstdio>
#include <mutex>

namespace {
std::mutex& SinkMutex() {
    static std::mutex m;
    return m;
}
MessageSinkFn& Sink() {
    static MessageSinkFn sink;
    return sink;
}
}  // namespace

MessageSinkFn SetMessageSink(MessageSinkFn sink) {
    std::lock_guard<std::mutex> lock(SinkMutex());
    MessageSinkFn old = std::move(Sink());
    Sink() = std::move(sink);
    return old;
}

void ShowMessageBox(const std::string& caption, const std::string& text) {
    MessageSinkFn sink;
    {
        std::lock_guard<std::mutex> lock(SinkMutex());
        sink = Sink();
    }
    if (sink) {
        sink(caption, text);
        return;
    }
    // No window to show it in: caption + ":" + two line breaks + text, as the plain
    // fallback dialog shows it.
    std::fprintf(stderr, "%s:\n\n%s\n", caption.c_str(), text.c_str());
}
