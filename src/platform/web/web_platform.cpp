// The web page's host; see web_platform.h. The JavaScript half is `Module.tarvolaWeb`.
#include "platform/web/web_platform.h"

#include <emscripten.h>
#include <emscripten/html5.h>

#include <cstring>
#include <vector>

#include "base/file_bytes.h"
#include "music/module_renderer.h"
#include "music/sync_events.h"

namespace tarvola {

// clang-format off
EM_JS(double, webClockMicros, (), { return Module.tarvolaWeb.clockMicros(); });
EM_JS(int, webNextSync, (double reachedMicros), { return Module.tarvolaWeb.nextSync(reachedMicros); });
// 1 when the page's canvas takes the framebuffer's own bytes (B, G, R, X: WebGL swaps them in
// its shader), 0 when it takes R, G, B, A (a 2D context).
EM_JS(int, webOpenScreen, (int width, int height), { return Module.tarvolaWeb.openScreen(width, height) ? 1 : 0; });
// Copies the picture's bytes into the canvas (for WebGL, the one copy a frame makes).
EM_JS(void, webDraw, (const void* bytes, int width, int height), { Module.tarvolaWeb.draw(HEAPU8, bytes, width * height * 4); });
// Resumes on the browser's next animation frame (an asyncify import); the page keeps the
// frame's time, the refresh it was begun for.
EM_JS(void, webWaitAnimationFrame, (), {
  Asyncify.handleSleep(function(wakeUp) {
    Module.tarvolaWeb.frameDone();
    requestAnimationFrame(function(time) { Module.tarvolaWeb.frameStarts(time); wakeUp(); });
  });
});
EM_JS(void, webFrameBegins, (), { Module.tarvolaWeb.frameBegins(); });
EM_JS(void, webPresentBegins, (), { Module.tarvolaWeb.presentBegins(); });
EM_JS(void, webLoadMusic, (const uint8_t* bytes, int size), {
  Module.tarvolaWeb.loadMusic(HEAPU8.slice(bytes, bytes + size));
});
EM_JS(void, webStartMusic, (double startMicros), { Module.tarvolaWeb.startMusic(startMicros); });
EM_JS(void, webFadeOutMusic, (), { Module.tarvolaWeb.fadeOutMusic(); });
EM_JS(int, webMusicSilent, (), { return Module.tarvolaWeb.musicSilent() ? 1 : 0; });
EM_JS(void, webShowEnd, (), { Module.tarvolaWeb.showEnd(); });
EM_JS(void, webShowMessage, (const char* text, const char* caption), {
  Module.tarvolaWeb.showMessage(UTF8ToString(caption), UTF8ToString(text));
});
// clang-format on

namespace {

constexpr int kMaxFadeWaitMs = 3000;  // a worklet that stopped reporting must not hang the end

}  // namespace

void WebPlatform::postQuit() {
  if (!quitPosted_) ++pendingMessages_;
  quitPosted_ = true;
}

EM_BOOL WebPlatform::onKeyDown(int, const EmscriptenKeyboardEvent* event, void* self) {
  if (std::strcmp(event->key, "Escape") == 0) static_cast<WebPlatform*>(self)->postQuit();
  return EM_FALSE;
}

EM_BOOL WebPlatform::onFullscreenChange(int, const EmscriptenFullscreenChangeEvent* event, void* self) {
  // Leaving full screen (Escape in full screen never reaches the page as a key) ends the run.
  if (!event->isFullscreen) static_cast<WebPlatform*>(self)->postQuit();
  return EM_FALSE;
}

int64_t WebPlatform::read() {
  int64_t now = int64_t(webClockMicros());
  if (now < lastReading_) now = lastReading_;  // the interpolated clock may step back a hair
  lastReading_ = now;
  for (int value; (value = webNextSync(double(now))) >= 0;) {
    if (syncs_ != nullptr) syncs_->raise(uint32_t(value));
  }
  return now;
}

bool WebPlatform::openDisplay(const char*, int32_t width, int32_t height, bool) {
  if (webOpenScreen(width, height) == 0) rgba_.assign(size_t(width) * size_t(height), 0);
  emscripten_set_keydown_callback(EMSCRIPTEN_EVENT_TARGET_WINDOW, this, EM_FALSE, &onKeyDown);
  emscripten_set_fullscreenchange_callback(EMSCRIPTEN_EVENT_TARGET_DOCUMENT, this, EM_FALSE, &onFullscreenChange);
  return true;
}

int32_t WebPlatform::present(const Surface& framebuffer) {
  webPresentBegins();
  const size_t count = framebuffer.pixelCount();
  const bool drawable = count > 0 && framebuffer.pixels.size() >= count && (rgba_.empty() || rgba_.size() == count);
  if (drawable) {
    const uint32_t* bytes = framebuffer.pixels.data();
    if (!rgba_.empty()) {  // a 2D canvas: 0xAARRGGBB words to R, G, B, 255 bytes
      for (size_t i = 0; i < count; ++i) {
        const uint32_t pixel = bytes[i];
        rgba_[i] = 0xFF000000u | ((pixel & 0xFFu) << 16) | (pixel & 0xFF00u) | ((pixel >> 16) & 0xFFu);
      }
      bytes = rgba_.data();
    }
    webDraw(bytes, framebuffer.width, framebuffer.height);
  }
  // Yields to the browser also when there was nothing to draw: a loop that never waits would
  // hang the page.
  webWaitAnimationFrame();
  return drawable ? 0 : -1;
}

void WebPlatform::closeDisplay() { webShowEnd(); }

PlatformMessage WebPlatform::pollMessage() {
  webFrameBegins();
  if (pendingMessages_ == 0) return PlatformMessage::kNone;
  --pendingMessages_;
  return quitPosted_ ? PlatformMessage::kQuit : PlatformMessage::kHandled;
}

void WebPlatform::pause(uint32_t milliseconds) { emscripten_sleep(milliseconds); }

void WebPlatform::loadMusic(const char* path, SyncFlags& flags) {
  syncs_ = &flags;
  std::vector<unsigned char> bytes;
  if (readFileBytes(path, bytes) && !bytes.empty()) webLoadMusic(bytes.data(), int(bytes.size()));
}

void WebPlatform::startMusic() { webStartMusic(double(lastReading_)); }

void WebPlatform::fadeOutMusic() {
  webFadeOutMusic();
  for (int waited = 0; webMusicSilent() == 0 && waited < kMaxFadeWaitMs; ++waited) emscripten_sleep(1);
}

void showPageMessage(const char* text, const char* caption) { webShowMessage(text, caption); }

}  // namespace tarvola

// The music's sample rate, for the page's audio context and its sync times.
extern "C" EMSCRIPTEN_KEEPALIVE int tarvolaSampleRate() { return tarvola::kSampleRate; }
