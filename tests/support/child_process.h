// Test helpers for whole-program and display tests: start a child with its own directory,
// environment and log, wait for it with a timeout, stop it, and start a private Xvfb.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "support/test_support.h"

namespace tarvola::testing {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// Environment changes for a child: {"NAME", "value"} sets, {"NAME", nullopt} removes.
using EnvChanges = std::vector<std::pair<std::string, std::optional<std::string>>>;

// fork + exec in `cwd` (if given) with output to `output`; fds above 2 closed but `keepFd`.
inline pid_t spawn(const std::vector<std::string>& argv, const EnvChanges& env, const std::filesystem::path& cwd = {},
                   const std::filesystem::path& output = "/dev/null", int keepFd = -1) {
  const pid_t pid = fork();
  if (pid != 0) return pid;
  // A test started from a background job inherits SIGINT ignored, and so would the child: the
  // program's Ctrl+C handling (SDL turns SIGINT into a quit request) needs the default.
  signal(SIGINT, SIG_DFL);
  if (!cwd.empty() && chdir(cwd.c_str()) != 0) _exit(127);
  for (const auto& [name, value] : env) value ? setenv(name.c_str(), value->c_str(), 1) : unsetenv(name.c_str());
  const int out = open(output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  dup2(out, 1);
  dup2(out, 2);
  for (int fd = 3; fd < 256; ++fd)
    if (fd != keepFd) close(fd);
  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  execvp(args[0], args.data());
  _exit(127);
}

// The exit status if the child ended within `timeout`, else nothing (it keeps running).
inline std::optional<int> waitExit(pid_t pid, milliseconds timeout) {
  for (const auto deadline = Clock::now() + timeout;; std::this_thread::sleep_for(milliseconds(10))) {
    int status = 0;
    if (waitpid(pid, &status, WNOHANG) == pid) return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    if (Clock::now() > deadline) return std::nullopt;
  }
}

inline void stop(pid_t pid) {
  if (pid <= 0) return;
  kill(pid, SIGTERM);
  if (!waitExit(pid, milliseconds(2000))) kill(pid, SIGKILL), waitExit(pid, milliseconds(2000));
}

// Runs a short helper command to completion; its exit status. The ceiling (60 s) is for a
// hung helper only: on a busy machine a screenshot alone can take many seconds.
inline int run(const std::vector<std::string>& argv, const EnvChanges& env,
               const std::filesystem::path& output = "/dev/null") {
  const pid_t pid = spawn(argv, env, {}, output);
  const std::optional<int> status = waitExit(pid, milliseconds(60000));
  if (!status) stop(pid);
  return status.value_or(-1);
}

// What the whole-program tests rely on, checked before they start anything, so a machine that
// lacks something fails with one line naming it and its package rather than on a later symptom.
// The first of {program, package} not on PATH, as "program (package)", or empty.
using Needs = std::vector<std::pair<const char*, const char*>>;
inline const Needs kXProgramsNeeded = {{"Xvfb", "xvfb"}, {"import", "imagemagick"}, {"convert", "imagemagick"}};
inline const Needs kDesktopProgramsNeeded = {{"matchbox-window-manager", "matchbox-window-manager"},
                                             {"xprop", "x11-utils"},
                                             {"xlsfonts", "x11-utils"},
                                             {"xdotool", "xdotool"},
                                             {"wmctrl", "wmctrl"}};
inline std::string missingProgram(const Needs& needs) {
  for (const auto& [program, package] : needs)
    if (run({"sh", "-c", std::string("command -v ") + program}, {}) != 0)
      return std::string(program) + " (package " + package + "; scripts/install-deps.sh installs it)";
  return {};
}
// Whether the X server at `display` has the core fonts SDL's message box draws its text with.
inline bool hasMessageBoxFonts(const std::string& display) {
  return !runCommand("xlsfonts -display " + display + " -fn '-*-*-medium-r-normal--*-120-*-*-*-*-*-*' 2>/dev/null")
              .empty();
}
inline constexpr const char* kNoFonts =
    "no X core fonts for SDL's message box (package xfonts-base; scripts/install-deps.sh installs it)";

// Starts Xvfb on a free display number (it writes the number it took once it accepts
// clients) with one screen of width x height x 24 bits; the display name, or nothing.
// -noreset: by default the server resets whenever its last client leaves, and refuses whoever
// connects meanwhile, so a short helper (xlsfonts, xprop) that comes and goes just before the
// window manager or the demo connects would make that connection fail now and then.
inline std::optional<std::string> startXvfb(int width, int height, const std::filesystem::path& log, pid_t* pid) {
  int fds[2];
  if (pipe(fds) != 0) return std::nullopt;
  const std::string screen = std::to_string(width) + "x" + std::to_string(height) + "x24";
  *pid = spawn({"Xvfb", "-displayfd", std::to_string(fds[1]), "-screen", "0", screen, "-nolisten", "tcp", "-noreset"},
               {}, {}, log, fds[1]);
  close(fds[1]);
  std::string number;
  for (char c; read(fds[0], &c, 1) == 1 && c != '\n';) number += c;
  close(fds[0]);
  return number.empty() ? std::nullopt : std::optional<std::string>(":" + number);
}

// Starts matchbox (no title bars) on `display` and waits, at most 30 s, until it manages the
// screen: the root names its check window (xprop exits 0 whether or not the property is
// there, hence the look at its output). Its pid, or -1 if it ended or never came up (its log
// says why).
inline pid_t startWindowManager(const std::string& display, const std::filesystem::path& log) {
  const pid_t pid = spawn({"matchbox-window-manager", "-use_titlebar", "no"}, {{"DISPLAY", display}}, {}, log);
  const std::string check = "xprop -display " + display + " -root _NET_SUPPORTING_WM_CHECK 2>/dev/null";
  for (const auto deadline = Clock::now() + milliseconds(30000); Clock::now() < deadline;
       std::this_thread::sleep_for(milliseconds(50))) {
    if (waitExit(pid, milliseconds(0))) return -1;
    if (runCommand(check).find("window id #") != std::string::npos) return pid;
  }
  stop(pid);
  return -1;
}

// The screen (or one window) as 0x00RRGGBB pixels through ImageMagick's import, also kept as
// capture.png in `dir` to look at; empty if it is not width x height.
inline std::vector<uint32_t> capture(const std::string& display, const std::string& window, int width, int height,
                                     const std::filesystem::path& dir) {
  const std::string raw = (dir / "capture.rgb").string(), size = std::to_string(width) + "x" + std::to_string(height);
  run({"import", "-window", window, "-depth", "8", "rgb:" + raw}, {{"DISPLAY", display}});
  run({"convert", "-size", size, "-depth", "8", "rgb:" + raw, (dir / "capture.png").string()}, {});
  const std::string bytes = readFile(raw);
  std::vector<uint32_t> pixels;
  for (size_t i = 0; bytes.size() == size_t(width) * size_t(height) * 3 && i < bytes.size(); i += 3)
    pixels.push_back(uint32_t(uint8_t(bytes[i])) << 16 | uint32_t(uint8_t(bytes[i + 1])) << 8 | uint8_t(bytes[i + 2]));
  return pixels;
}

}  // namespace tarvola::testing
