// A modal message for errors on the frame path. On Windows this is MessageBoxA; elsewhere the
// caption and text go to standard error as one line, and the call returns once it is written.
#pragma once

namespace fluxgrain {

// Receives every message instead of standard error while installed (tests use it).
using MessageSink = void (*)(const char* caption, const char* text);

// Installs a sink (nullptr restores standard error) and returns the previous one.
MessageSink setMessageSink(MessageSink sink);

// Shows the message and returns after it has been dismissed (or written).
void showMessageBox(const char* caption, const char* text);

}  // namespace fluxgrain
