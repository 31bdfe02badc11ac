// The capture renderer's operating-system services on Windows; see host_system.h. An interrupt
// runs its handler on a thread of its own while the program goes on, so the clean-up takes the
// lock InterruptsHeld holds, and files are opened so that they can be deleted while open.
#include "host_system.h"

#include <windows.h>
// After windows.h:
#include <fcntl.h>
#include <io.h>
#include <psapi.h>

#include <cerrno>
#include <cstdlib>

namespace tarvola::host {

namespace {
SRWLOCK holding = SRWLOCK_INIT;
HANDLE volatile childToKill = nullptr;
void (*cleanUpOnInterrupt)() = nullptr;

BOOL WINAPI onConsoleEvent(DWORD) {
  AcquireSRWLockExclusive(&holding);  // kept: the process ends below
  if (HANDLE child = childToKill; child != nullptr) {
    TerminateProcess(child, 1);
    WaitForSingleObject(child, 5000);  // its files are closed once it has ended
  }
  if (cleanUpOnInterrupt != nullptr) cleanUpOnInterrupt();
  TerminateProcess(GetCurrentProcess(), STATUS_CONTROL_C_EXIT);
  return TRUE;
}

std::wstring wide(const std::string& text) {
  const int size = MultiByteToWideChar(CP_ACP, 0, text.data(), int(text.size()), nullptr, 0);
  std::wstring out(size_t(size), L'\0');
  MultiByteToWideChar(CP_ACP, 0, text.data(), int(text.size()), out.data(), size);
  return out;
}

// One argument as CommandLineToArgvW and the C runtime split it again: quoted when it holds
// a blank or a quote, backslashes doubled only where a quote follows them.
void appendArgument(std::wstring& line, const std::wstring& argument) {
  if (!line.empty()) line.push_back(L' ');
  if (!argument.empty() && argument.find_first_of(L" \t\n\v\"") == std::wstring::npos) {
    line.append(argument);
    return;
  }
  line.push_back(L'"');
  for (size_t i = 0;; ++i) {
    size_t backslashes = 0;
    for (; i < argument.size() && argument[i] == L'\\'; ++i) ++backslashes;
    if (i == argument.size()) {
      line.append(backslashes * 2, L'\\');
      break;
    }
    line.append(argument[i] == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
    line.push_back(argument[i]);
  }
  line.push_back(L'"');
}

std::string lastErrorText() {
  const DWORD code = GetLastError();
  char text[256] = {};
  const DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0,
                                      text, sizeof text, nullptr);
  std::string message(text, length);
  while (!message.empty() && (message.back() == '\n' || message.back() == '\r' || message.back() == '.'))
    message.pop_back();
  return message.empty() ? "error " + std::to_string(code) : message;
}

// The callers report errors with strerror(errno).
void setErrnoFromLastError() {
  switch (GetLastError()) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
      errno = ENOENT;
      break;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
      errno = EACCES;
      break;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
      errno = ENOSPC;
      break;
    default:
      errno = EIO;
  }
}

// A copy of a standard handle that the child inherits (nullptr when there is none).
HANDLE inheritable(DWORD which) {
  HANDLE handle = GetStdHandle(which), copy = nullptr;
  if (handle == nullptr || handle == INVALID_HANDLE_VALUE) return nullptr;
  if (!DuplicateHandle(GetCurrentProcess(), handle, GetCurrentProcess(), &copy, 0, TRUE, DUPLICATE_SAME_ACCESS))
    return nullptr;
  return copy;
}
}  // namespace

double threadSeconds() {
  static const double frequency = [] {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return double(f.QuadPart);
  }();
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  return double(now.QuadPart) / frequency;
}

const char* threadClockName() { return "wall-clock time"; }

double peakMemoryMb() {
  PROCESS_MEMORY_COUNTERS counters{};
  if (!GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters)) return 0.0;
  return double(counters.PeakWorkingSetSize) / (1024.0 * 1024.0);
}

bool stderrIsTerminal() { return _isatty(2) != 0; }

bool canWriteIn(const std::string& dir) { return _access(dir.c_str(), 2) == 0; }

std::string findProgram(const char* name) {
  const char* path = std::getenv("PATH");
  if (path == nullptr) return "";
  const std::string all(path);
  size_t begin = 0;
  while (begin < all.size()) {
    size_t end = all.find(';', begin);
    if (end == std::string::npos) end = all.size();
    std::string dir = all.substr(begin, end - begin);
    if (dir.size() >= 2 && dir.front() == '"' && dir.back() == '"') dir = dir.substr(1, dir.size() - 2);
    begin = end + 1;
    if (dir.empty()) continue;
    const std::string candidate = dir + (dir.back() == '\\' || dir.back() == '/' ? "" : "\\") + name + ".exe";
    const DWORD attributes = GetFileAttributesA(candidate.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) return candidate;
  }
  return "";
}

const char* ffmpegMissingHint() { return "put ffmpeg.exe in a folder listed in PATH"; }

std::FILE* createFile(const std::string& path) {
  HANDLE handle = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    setErrnoFromLastError();
    return nullptr;
  }
  const int fd = _open_osfhandle(intptr_t(handle), _O_WRONLY | _O_BINARY);
  if (fd < 0) {
    CloseHandle(handle);
    return nullptr;
  }
  std::FILE* file = _fdopen(fd, "wb");
  if (file == nullptr) _close(fd);
  return file;
}

void removeFile(const char* path) { DeleteFileA(path); }
void removeEmptyDirectory(const char* path) { RemoveDirectoryA(path); }

void onInterrupt(void (*cleanUp)()) {
  cleanUpOnInterrupt = cleanUp;
  SetConsoleCtrlHandler(onConsoleEvent, TRUE);
}

InterruptsHeld::InterruptsHeld() { AcquireSRWLockExclusive(&holding); }
InterruptsHeld::~InterruptsHeld() { ReleaseSRWLockExclusive(&holding); }

ChildProcess::~ChildProcess() {
  if (running()) finish();
}

bool ChildProcess::running() const { return process_ != 0; }

bool ChildProcess::start(const std::string& program, const std::vector<std::string>& args, std::string& error) {
  SECURITY_ATTRIBUTES inherited{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  HANDLE readEnd = nullptr, writeEnd = nullptr;
  if (!CreatePipe(&readEnd, &writeEnd, &inherited, 1 << 20)) {
    error = "cannot make a pipe to " + program + ": " + lastErrorText();
    return false;
  }
  SetHandleInformation(writeEnd, HANDLE_FLAG_INHERIT, 0);  // only the child's end is inherited
  std::wstring line;
  for (const std::string& argument : args) appendArgument(line, wide(argument));
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = readEnd;
  startup.hStdOutput = inheritable(STD_OUTPUT_HANDLE);
  startup.hStdError = inheritable(STD_ERROR_HANDLE);
  PROCESS_INFORMATION started{};
  const BOOL ok = CreateProcessW(wide(program).c_str(), line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                                 &startup, &started);
  if (!ok) error = "cannot start " + program + ": " + lastErrorText();
  CloseHandle(readEnd);
  if (startup.hStdOutput != nullptr) CloseHandle(startup.hStdOutput);
  if (startup.hStdError != nullptr) CloseHandle(startup.hStdError);
  if (!ok) {
    CloseHandle(writeEnd);
    return false;
  }
  CloseHandle(started.hThread);
  const InterruptsHeld hold;
  process_ = intptr_t(started.hProcess);
  input_ = intptr_t(writeEnd);
  childToKill = started.hProcess;
  return true;
}

bool ChildProcess::write(const void* bytes, size_t size) {
  const char* at = static_cast<const char*>(bytes);
  while (size > 0) {
    DWORD wrote = 0;
    const DWORD chunk = size < (1u << 30) ? DWORD(size) : DWORD(1u << 30);
    if (!WriteFile(HANDLE(input_), at, chunk, &wrote, nullptr) || wrote == 0) return false;
    at += wrote;
    size -= wrote;
  }
  return true;
}

int ChildProcess::finish() {
  if (input_ != -1) CloseHandle(HANDLE(input_));
  input_ = -1;
  if (process_ == 0) return -1;
  WaitForSingleObject(HANDLE(process_), INFINITE);
  DWORD code = DWORD(-1);
  GetExitCodeProcess(HANDLE(process_), &code);
  const InterruptsHeld hold;  // the interrupt never kills a handle that is being closed
  childToKill = nullptr;
  CloseHandle(HANDLE(process_));
  process_ = 0;
  return int(code);
}

}  // namespace tarvola::host
