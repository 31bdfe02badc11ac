// The operating-system services the capture renderer needs, one implementation per system:
// host_system_posix.cpp (Linux) and host_system_windows.cpp (Windows, built with mingw-w64).
// Paths are the program's narrow strings (UTF-8 on Linux, the ANSI code page on Windows).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace tarvola::host {

// Seconds on the clock frames are timed with: the CPU time this thread has run where the system
// counts it finely (Linux; other processes taking the processor do not inflate it), else the
// wall clock (Windows counts a thread's CPU time in scheduler ticks of 10 to 16 ms, longer than
// most frames take).
double threadSeconds();
// Which of the two threadSeconds() is, for the --bench report: "CPU time" or "wall-clock time".
const char* threadClockName();
// The most memory the process has held at once (resident set, peak working set), in MB.
double peakMemoryMb();
// Whether standard error is a terminal or console, where a progress bar belongs.
bool stderrIsTerminal();
// Whether the program may create files in the directory `dir`.
bool canWriteIn(const std::string& dir);

// The full path of program `name` ("ffmpeg": ffmpeg.exe on Windows) in a folder of PATH, or ""
// when there is none.
std::string findProgram(const char* name);
// What to tell a user who has no ffmpeg on PATH, for this system.
const char* ffmpegMissingHint();

// Creates (or truncates) `path` for binary writing. The file can be removed while still open,
// as an interrupt's clean-up does on Windows too.
std::FILE* createFile(const std::string& path);
// Async-signal-safe removal of a file or an empty directory; errors are ignored.
void removeFile(const char* path);
void removeEmptyDirectory(const char* path);

// On an interrupt (SIGINT or SIGTERM; on Windows Ctrl-C, Ctrl-Break or the console closing),
// kills the running child process, calls `cleanUp` (which must only use the removals above on
// fixed storage) and ends the process as the interrupt would have (Windows:
// STATUS_CONTROL_C_EXIT). Call once, before any file or child exists.
void onInterrupt(void (*cleanUp)());
// While one lives, an interrupt waits before it cleans up, so that a file being created and its
// record for the clean-up are made together. Hold it briefly: never across a blocking call.
class InterruptsHeld {
 public:
  InterruptsHeld();
  ~InterruptsHeld();
  InterruptsHeld(const InterruptsHeld&) = delete;
  InterruptsHeld& operator=(const InterruptsHeld&) = delete;
};

// A child process that reads its standard input from a pipe this process writes; its standard
// output and error are this process's. One at a time: the interrupt kills it.
class ChildProcess {
 public:
  ChildProcess() = default;
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  // Runs `program` (a full path) with `args` (args[0] is the program's own name); false with
  // `error` set when it cannot start.
  bool start(const std::string& program, const std::vector<std::string>& args, std::string& error);
  // Writes all `size` bytes to the child's input; false once the child has stopped reading.
  // Safe to call from another thread than the one that started it.
  bool write(const void* bytes, size_t size);
  // Closes the pipe (the child sees the end of its input) and waits for the child to end: its
  // exit status (0 for success), or -1 when it never started or (POSIX) a signal ended it.
  int finish();
  bool running() const;

 private:
  intptr_t process_ = 0;  // the process id or HANDLE; 0: none
  intptr_t input_ = -1;   // the pipe's writing end, a file descriptor or HANDLE; -1: none
};

}  // namespace tarvola::host
