#include "platform/messageBox.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <cstdio>
#endif

namespace fluxgrain {

namespace {
MessageSink gSink = nullptr;
}

MessageSink setMessageSink(MessageSink sink) {
  MessageSink previous = gSink;
  gSink = sink;
  return previous;
}

void showMessageBox(const char* caption, const char* text) {
  if (gSink != nullptr) {
    gSink(caption, text);
    return;
  }
#if defined(_WIN32)
  MessageBoxA(nullptr, text, caption, 0);
#else
  std::fprintf(stderr, "%s: %s\n", caption, text);
  std::fflush(stderr);
#endif
}

}  // namespace fluxgrain
