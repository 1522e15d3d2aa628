#pragma once
// Where the core's messages go. The editor routes them to its Prompter (on the UI thread),
// the command line prints them on standard error, tests record them.
#include <functional>
#include <string>

using MessageSinkFn = std::function<void(const std::string& caption, const std::string& text)>;

// Installs a sink and returns the one it replaces. An empty function restores the default
// (standard error).
MessageSinkFn SetMessageSink(MessageSinkFn sink);

// A box with caption, text and an OK button. Callable from any thread.
void ShowMessageBox(const std::string& caption, const std::string& text);
