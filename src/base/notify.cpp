// Message routing for the loaders; see notify.h.
#include "base/notify.h"

#include <cstdio>

namespace tarvola {

namespace {
MessageHandler currentHandler = &writeMessageToStderr;
}

void writeMessageToStderr(const char* text, const char* caption) {
  std::fprintf(stderr, "tarvola: %s %s\n", caption, text);
  std::fflush(stderr);
}

void showMessage(const char* text, const char* caption) { currentHandler(text, caption); }

MessageHandler setMessageHandler(MessageHandler handler) {
  MessageHandler previous = currentHandler;
  currentHandler = handler ? handler : &writeMessageToStderr;
  return previous;
}

}  // namespace tarvola
