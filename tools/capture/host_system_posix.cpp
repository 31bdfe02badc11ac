// The capture renderer's operating-system services on Linux (POSIX); see host_system.h.
#include "host_system.h"

#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <ctime>

extern char** environ;

namespace tarvola::host {

namespace {
volatile sig_atomic_t childToKill = 0;  // the running child's process id, 0 for none
void (*cleanUpOnInterrupt)() = nullptr;

void onSignal(int signal) {
  if (childToKill > 0) ::kill(pid_t(childToKill), SIGKILL);
  if (cleanUpOnInterrupt != nullptr) cleanUpOnInterrupt();
  struct sigaction defaults {};
  defaults.sa_handler = SIG_DFL;
  ::sigaction(signal, &defaults, nullptr);
  ::raise(signal);  // delivered as the handler returns: the process ends by that signal
}

sigset_t interruptSignals() {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGINT);
  sigaddset(&set, SIGTERM);
  return set;
}
}  // namespace

double threadSeconds() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return double(now.tv_sec) + double(now.tv_nsec) * 1e-9;
}

const char* threadClockName() { return "CPU time"; }

double peakMemoryMb() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return double(usage.ru_maxrss) / 1024.0;  // kilobytes on Linux
}

bool stderrIsTerminal() { return ::isatty(2) != 0; }

bool canWriteIn(const std::string& dir) { return ::access(dir.c_str(), W_OK) == 0; }

std::string findProgram(const char* name) {
  const char* path = std::getenv("PATH");
  if (path == nullptr) return "";
  const std::string all(path);
  size_t begin = 0;
  while (begin <= all.size()) {
    size_t end = all.find(':', begin);
    if (end == std::string::npos) end = all.size();
    // An empty entry is the working directory.
    std::string candidate = end > begin ? all.substr(begin, end - begin) : std::string(1, '.');
    candidate.push_back('/');
    candidate.append(name);
    if (::access(candidate.c_str(), X_OK) == 0) return candidate;
    begin = end + 1;
  }
  return "";
}

const char* ffmpegMissingHint() { return "install it: apt-get install ffmpeg"; }

std::FILE* createFile(const std::string& path) { return std::fopen(path.c_str(), "wb"); }

void removeFile(const char* path) { ::unlink(path); }
void removeEmptyDirectory(const char* path) { ::rmdir(path); }

void onInterrupt(void (*cleanUp)()) {
  cleanUpOnInterrupt = cleanUp;
  struct sigaction action {};
  action.sa_handler = onSignal;
  action.sa_mask = interruptSignals();
  ::sigaction(SIGINT, &action, nullptr);
  ::sigaction(SIGTERM, &action, nullptr);
}

// The signals are blocked in this thread; a thread started meanwhile inherits the block and
// so never runs the handler, which then always interrupts the thread that holds the files.
InterruptsHeld::InterruptsHeld() {
  const sigset_t set = interruptSignals();
  pthread_sigmask(SIG_BLOCK, &set, nullptr);
}
InterruptsHeld::~InterruptsHeld() {
  const sigset_t set = interruptSignals();
  pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
}

ChildProcess::~ChildProcess() {
  if (running()) finish();
}

bool ChildProcess::running() const { return process_ > 0; }

bool ChildProcess::start(const std::string& program, const std::vector<std::string>& args, std::string& error) {
  // A child that goes away shows as a failed write instead of ending this process by SIGPIPE.
  std::signal(SIGPIPE, SIG_IGN);
  int fds[2];
  if (::pipe(fds) != 0) {
    error = "cannot make a pipe to " + program + ": " + std::strerror(errno);
    return false;
  }
  std::vector<std::string> copies = args;
  std::vector<char*> argv;
  for (std::string& a : copies) argv.push_back(a.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, fds[0], 0);
  posix_spawn_file_actions_addclose(&actions, fds[1]);
  pid_t pid = 0;
  const int status = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  ::close(fds[0]);
  if (status != 0) {
    ::close(fds[1]);
    error = "cannot start " + program + ": " + std::strerror(status);
    return false;
  }
  process_ = pid;
  input_ = fds[1];
  childToKill = pid;
  return true;
}

bool ChildProcess::write(const void* bytes, size_t size) {
  const char* at = static_cast<const char*>(bytes);
  while (size > 0) {
    const ssize_t wrote = ::write(int(input_), at, size);
    if (wrote < 0 && errno == EINTR) continue;
    if (wrote <= 0) return false;
    at += wrote;
    size -= size_t(wrote);
  }
  return true;
}

int ChildProcess::finish() {
  if (input_ >= 0) ::close(int(input_));
  input_ = -1;
  if (process_ <= 0) return -1;
  int status = 0;
  while (::waitpid(pid_t(process_), &status, 0) < 0 && errno == EINTR) {
  }
  process_ = 0;
  childToKill = 0;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace tarvola::host
