// Test helpers; see test_support.h.
#include "support/test_support.h"

#include "base/notify.h"

namespace tarvola::testing {

namespace {
std::vector<MessageRecorder::Message> recorded;
void record(const char* text, const char* caption) { recorded.push_back({text, caption}); }
}  // namespace

MessageRecorder::MessageRecorder() : previous_(setMessageHandler(&record)) { recorded.clear(); }
MessageRecorder::~MessageRecorder() { setMessageHandler(previous_); }
const std::vector<MessageRecorder::Message>& MessageRecorder::messages() const { return recorded; }

}  // namespace tarvola::testing
