// The demo's entry point: the SDL host runs the programme from the folder that holds data/
// (the working directory, else beside the program, else the installed share folder; with none,
// each missing file is reported as it is opened and its scene stays black). Arguments are
// ignored; the exit code is 0 on every path (Escape, a close request, the end at 166 s, no display).
// On Windows SDL_main.h renames main so that SDL2main's WinMain starts it (a GUI program).
#include <SDL_main.h>

#include <string>

#include "base/data_folder.h"
#include "base/notify.h"
#include "platform/sdl/sdl_platform.h"
#include "runtime/frame_loop.h"

int main(int, char**) {
  tarvola::setMessageHandler(&tarvola::showMessageBox);
  const tarvola::DataFolderSearch data = tarvola::findDataFolder();
  std::string error;
  if (!data.found.empty() && data.found != data.looked.front()) tarvola::enterDataFolder(data.found, error);
  tarvola::SdlPlatform platform;
  return tarvola::runDemo(platform, tarvola::demoProgramme());
}
