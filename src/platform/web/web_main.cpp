// The page's entry point, called by the page after the click that allows sound: the demo's
// own start-up and frame loop on the web host. Returns 0 on every path, as natively.
#include "base/notify.h"
#include "platform/web/web_platform.h"
#include "runtime/frame_loop.h"

int main() {
  tarvola::setMessageHandler(&tarvola::showPageMessage);
  static tarvola::WebPlatform platform;  // outlives main's unwinding while the loop sleeps
  return tarvola::runDemo(platform, tarvola::demoProgramme());
}
