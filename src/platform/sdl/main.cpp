// The demo's entry point: the SDL host runs the programme. Arguments are ignored; the exit
// code is 0 on every path (Escape, a close request, the end at 166 s, no display).
#include "base/notify.h"
#include "platform/sdl/sdl_platform.h"
#include "runtime/frame_loop.h"

int main() {
  tarvola::setMessageHandler(&tarvola::showMessageBox);
  tarvola::SdlPlatform platform;
  return tarvola::runDemo(platform, tarvola::demoProgramme());
}
