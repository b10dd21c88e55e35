// The POSIX half of the platform layer.
#include <dirent.h>
#include <fcntl.h>
#include <pthread.h>
#include <sched.h>
#include <signal.h>
#include <spawn.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <limits>
#include <new>
#include <utility>

#include "base/fatal_error.hpp"
#include "platform/platform.hpp"
#include "platform/text.hpp"

extern char** environ;

namespace glyphreel::platform {

namespace {

OsError last_error() {
  const int code = errno;
  return OsError{code, std::strerror(code), code == EPIPE};
}

[[noreturn]] void fail(std::string_view step) {
  throw FatalError::system(step, last_error());
}

// Writes all bytes to `fd`, continuing after partial writes and repeating
// interrupted ones.
void write_all(int fd, std::span<const std::uint8_t> bytes,
               std::string_view step) {
  while (!bytes.empty()) {
    const ssize_t written = ::write(fd, bytes.data(), bytes.size());
    if (written < 0) {
      if (errno == EINTR) continue;
      fail(step);
    }
    if (written == 0) {
      throw FatalError(std::string(step) + ": failed to write whole buffer");
    }
    bytes = bytes.subspan(static_cast<std::size_t>(written));
  }
}

// A larger pipe lets a whole frame through with far fewer context switches.
// The kernel may refuse (a per-user limit); the default size still works.
void enlarge_pipe([[maybe_unused]] int fd) {
#ifdef F_SETPIPE_SZ
  constexpr int wanted_pipe_size = 1 << 20;
  (void)::fcntl(fd, F_SETPIPE_SZ, wanted_pipe_size);
#endif
}

// Reads from `fd` until its end or `limit` bytes, whichever comes first.
FileHead read_up_to(int fd, std::size_t limit, std::string_view step) {
  const auto read_some = [&](std::uint8_t* into, std::size_t count) {
    for (;;) {
      const ssize_t got = ::read(fd, into, count);
      if (got >= 0) return static_cast<std::size_t>(got);
      if (errno != EINTR) fail(step);
    }
  };
  // A regular file is read straight into a buffer of its size, so that a
  // disc image of hundreds of megabytes is never copied while it grows.
  struct stat info {};
  std::uint64_t known_size = 0;
  if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_size > 0) {
    known_size = static_cast<std::uint64_t>(info.st_size);
  }
  std::vector<std::uint8_t> bytes(
      static_cast<std::size_t>(std::min<std::uint64_t>(known_size, limit)));
  std::size_t used = 0;
  while (used < bytes.size()) {
    const std::size_t got = read_some(bytes.data() + used, bytes.size() - used);
    if (got == 0) break;
    used += got;
  }
  bytes.resize(used);
  // Whatever the size did not announce (a pipe, a file still growing).
  std::array<std::uint8_t, 1 << 16> chunk;
  while (bytes.size() < limit) {
    const std::size_t got =
        read_some(chunk.data(), std::min(chunk.size(), limit - bytes.size()));
    if (got == 0) {
      const std::uint64_t length = bytes.size();
      return FileHead{std::move(bytes), length};
    }
    bytes.insert(bytes.end(), chunk.begin(), chunk.begin() + got);
  }
  // Stopped at the limit, before the end.
  const std::uint64_t length =
      std::max<std::uint64_t>(bytes.size(), known_size);
  return FileHead{std::move(bytes), length};
}

// The outcome of stat or lstat: something is there, nothing is, or the
// query failed for another reason, which is reported.
bool found(int query_result, std::string_view step) {
  if (query_result == 0) return true;
  if (errno == ENOENT) return false;
  fail(step);
}

// A descriptor among 0, 1 and 2 that our caller left closed would go to the
// first file or pipe we open, and a fatal report meant for standard error
// would be written into it: into the encoder's video input, say. Each is
// opened on /dev/null instead. Without /dev/null nothing written to
// standard error could be trusted to land there: the run ends at once.
void open_closed_standard_descriptors() {
  for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
    if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
    // Every lower descriptor is open, so this is the one open() returns.
    if (::open("/dev/null", O_RDWR) != fd) ::_exit(exit_fatal);
  }
}

[[noreturn]] void fail_with(std::string_view step, int code) {
  throw FatalError::system(step, OsError{code, std::strerror(code)});
}

// Starts `program` with one end of a new pipe as its file descriptor
// `child_fd`; returns the child and the other end, which alone stays with
// us. Both ends close on exec; the child gets a plain copy of its end.
std::pair<pid_t, int> spawn_with_pipe(
    const NativeString& program, const std::vector<NativeString>& arguments,
    int child_fd, std::string_view step, int error_fd = -1) {
  int ends[2];
  if (::pipe2(ends, O_CLOEXEC) != 0) fail(step);
  const bool child_reads = child_fd == STDIN_FILENO;
  const int child_end = child_reads ? ends[0] : ends[1];
  const int our_end = child_reads ? ends[1] : ends[0];
  enlarge_pipe(our_end);

  std::vector<char*> argv;
  argv.reserve(arguments.size() + 2);
  argv.push_back(const_cast<char*>(program.c_str()));
  for (const NativeString& argument : arguments) {
    argv.push_back(const_cast<char*>(argument.c_str()));
  }
  argv.push_back(nullptr);

  // Each setup call returns an error number, as the spawn itself does; the
  // first failure stops the start, so the child never runs without its pipe.
  int error = 0;
  const auto check = [&](int result) {
    if (error == 0) error = result;
  };
  posix_spawn_file_actions_t actions;
  check(posix_spawn_file_actions_init(&actions));
  check(posix_spawn_file_actions_adddup2(&actions, child_end, child_fd));
  if (error_fd >= 0) {
    check(posix_spawn_file_actions_adddup2(&actions, error_fd, STDERR_FILENO));
  }
  posix_spawnattr_t attributes;
  check(posix_spawnattr_init(&attributes));
  // We ignore SIGPIPE and SIGXFSZ ourselves; the child gets the defaults
  // back.
  sigset_t defaults;
  sigemptyset(&defaults);
  sigaddset(&defaults, SIGPIPE);
  sigaddset(&defaults, SIGXFSZ);
  check(posix_spawnattr_setsigdefault(&attributes, &defaults));
  check(posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF));
  pid_t pid = -1;
  if (error == 0) {
    error = ::posix_spawnp(&pid, program.c_str(), &actions, &attributes,
                           argv.data(), environ);
  }
  posix_spawnattr_destroy(&attributes);
  posix_spawn_file_actions_destroy(&actions);
  // Our copy of the child's end must go: a child reading would never see
  // the end of its input, nor we the end of a writing child's output.
  ::close(child_end);
  if (error != 0) {
    ::close(our_end);
    fail_with(step, error);
  }
  return {pid, our_end};
}

}  // namespace

void prepare_process() {
  open_closed_standard_descriptors();
  ::signal(SIGPIPE, SIG_IGN);
  // Past a file-size limit the write of the raw file fails with EFBIG.
  ::signal(SIGXFSZ, SIG_IGN);
  // Ignored SIGCHLD, which exec keeps, would make the system reap the
  // encoder by itself and the wait for it fail.
  ::signal(SIGCHLD, SIG_DFL);
}

std::vector<NativeString> native_arguments(int argc, char** argv) {
  return std::vector<NativeString>(argv, argv + argc);
}

std::optional<std::string> argument_text(const NativeString& argument) {
  if (!is_valid_utf8(argument)) return std::nullopt;
  return argument;
}

NativeString native_from_ascii(std::string_view ascii) {
  return NativeString(ascii);
}

void write_standard_error(std::string_view text) {
  while (!text.empty()) {
    const ssize_t written = ::write(STDERR_FILENO, text.data(), text.size());
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return;
    text.remove_prefix(static_cast<std::size_t>(written));
  }
}

FileHead read_file_head(const NativeString& path, std::size_t limit,
                        std::string_view step) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) fail(step);
  try {
    FileHead head = read_up_to(fd, limit, step);
    ::close(fd);
    return head;
  } catch (const std::bad_alloc&) {
    // The buffer is gone by now, so the report itself finds memory.
    ::close(fd);
    throw FatalError::system(step, OsError{ENOMEM, std::strerror(ENOMEM)});
  } catch (...) {
    ::close(fd);
    throw;
  }
}

void create_new_file(const NativeString& path,
                     std::span<const std::uint8_t> bytes,
                     std::string_view step) {
  const int fd = ::open(
      path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
  if (fd < 0) fail(step);
  try {
    write_all(fd, bytes, step);
  } catch (...) {
    ::close(fd);
    throw;
  }
  if (::close(fd) != 0) fail(step);
}

bool path_exists(const NativeString& path, std::string_view step) {
  struct stat info {};
  return found(::stat(path.c_str(), &info), step);
}

bool path_or_link_exists(const NativeString& path, std::string_view step) {
  struct stat info {};
  return found(::lstat(path.c_str(), &info), step);
}

void delete_file(const NativeString& path, std::string_view step) {
  if (::unlink(path.c_str()) != 0) fail(step);
}

void rename_file(const NativeString& from, const NativeString& to,
                 std::string_view step) {
  if (::rename(from.c_str(), to.c_str()) != 0) fail(step);
}

ChildProcess spawn_with_input_pipe(const NativeString& program,
                                   const std::vector<NativeString>& arguments,
                                   std::string_view step) {
  const auto [pid, input] =
      spawn_with_pipe(program, arguments, STDIN_FILENO, step);
  return ChildProcess{pid, input};
}

void write_to_child(ChildProcess& child, std::span<const std::uint8_t> bytes,
                    std::string_view step) {
  write_all(static_cast<int>(child.input), bytes, step);
}

void close_child_input(ChildProcess& child) {
  if (child.input >= 0) ::close(static_cast<int>(child.input));
  child.input = -1;
}

ExitStatus wait_for_child(ChildProcess& child, std::string_view step) {
  int raw = 0;
  while (::waitpid(static_cast<pid_t>(child.process), &raw, 0) < 0) {
    if (errno != EINTR) fail(step);
  }
  child.process = -1;
  if (WIFSIGNALED(raw)) return ExitStatus{true, WTERMSIG(raw)};
  return ExitStatus{false, WEXITSTATUS(raw)};
}

// --- Stops.

void fail_out_of_memory(std::string_view step) { fail_with(step, ENOMEM); }

namespace {

constexpr int stop_signals[] = {SIGINT, SIGTERM, SIGHUP};

// What the stop handler removes. The lists are swapped in while the stop
// signals are blocked, so the handler never sees one half made; it only
// reads the C strings, which live in `texts`.
struct StopRemovals {
  std::vector<NativeString> texts;
  std::vector<const char*> files;
  std::vector<const char*> folders;
};
// Never destroyed: a stop while the process exits still finds it whole.
StopRemovals& stop_removals = *new StopRemovals;
bool stop_handlers_installed = false;

// Only async-signal-safe calls: unlink and rmdir of paths prepared before,
// then the signal raised again with its default action, which ends the
// process as soon as the handler returns and the signal is unblocked.
extern "C" void remove_and_stop(int signal_number) {
  for (const char* file : stop_removals.files) ::unlink(file);
  for (const char* folder : stop_removals.folders) ::rmdir(folder);
  ::signal(signal_number, SIG_DFL);
  ::raise(signal_number);
}

sigset_t stop_signal_set() {
  sigset_t set;
  sigemptyset(&set);
  for (const int signal_number : stop_signals) sigaddset(&set, signal_number);
  return set;
}

void install_stop_handlers() {
  struct sigaction action {};
  action.sa_handler = remove_and_stop;
  action.sa_mask = stop_signal_set();
  for (const int signal_number : stop_signals) {
    struct sigaction previous {};
    // A signal our caller ignores (SIGHUP under nohup) stays ignored.
    if (::sigaction(signal_number, nullptr, &previous) != 0 ||
        previous.sa_handler == SIG_IGN) {
      continue;
    }
    (void)::sigaction(signal_number, &action, nullptr);
  }
}

}  // namespace

void remove_when_stopped(const std::vector<NativeString>& files,
                         const std::vector<NativeString>& folders) {
  // Made in full before the swap: allocation is no business of a moment
  // with the signals blocked.
  StopRemovals next;
  next.texts.reserve(files.size() + folders.size());
  next.texts.insert(next.texts.end(), files.begin(), files.end());
  next.texts.insert(next.texts.end(), folders.begin(), folders.end());
  for (std::size_t i = 0; i < next.texts.size(); ++i) {
    (i < files.size() ? next.files : next.folders)
        .push_back(next.texts[i].c_str());
  }
  const sigset_t blocked = stop_signal_set();
  sigset_t previous;
  ::pthread_sigmask(SIG_BLOCK, &blocked, &previous);
  std::swap(stop_removals, next);
  if (!stop_handlers_installed) {
    install_stop_handlers();
    stop_handlers_installed = true;
  }
  ::pthread_sigmask(SIG_SETMASK, &previous, nullptr);
}

// --- What glyphreel-import needs besides.

namespace {

// Reads until `into` is full or the end; repeats interrupted reads.
std::size_t read_fully(int fd, std::span<std::uint8_t> into,
                       std::string_view step) {
  std::size_t used = 0;
  while (used < into.size()) {
    const ssize_t got = ::read(fd, into.data() + used, into.size() - used);
    if (got < 0) {
      if (errno == EINTR) continue;
      fail(step);
    }
    if (got == 0) break;
    used += static_cast<std::size_t>(got);
  }
  return used;
}

}  // namespace

std::string display_path(const NativeString& path) { return utf8_lossy(path); }

NativeString native_from_utf8(std::string_view utf8) {
  return NativeString(utf8);
}

NativeString parent_folder(const NativeString& path) {
  const std::size_t last = path.find_last_of('/');
  if (last == NativeString::npos) return {};
  // Doubled separators before the name belong to neither part.
  const std::size_t end = path.find_last_not_of('/', last);
  if (end == NativeString::npos) return "/";
  return path.substr(0, end + 1);
}

NativeString join_path(const NativeString& folder, const NativeString& name) {
  if (folder.empty() || name.starts_with('/')) return name;
  if (folder.ends_with('/')) return folder + name;
  return folder + '/' + name;
}

std::vector<NativeString> create_directories(const NativeString& path,
                                             std::string_view step) {
  // Up to the nearest folder that exists, then the missing ones downwards.
  std::vector<NativeString> missing;
  NativeString at = path;
  while (at.size() > 1 && at.ends_with('/')) at.pop_back();
  while (!at.empty()) {
    struct stat info {};
    if (::stat(at.c_str(), &info) == 0) {
      if (!S_ISDIR(info.st_mode)) fail_with(step, ENOTDIR);
      break;
    }
    if (errno != ENOENT) fail(step);
    missing.push_back(at);
    at = parent_folder(at);
  }
  std::vector<NativeString> created;
  for (std::size_t i = missing.size(); i-- > 0;) {
    const NativeString& folder = missing[i];
    if (::mkdir(folder.c_str(), 0777) != 0) {
      const OsError error = last_error();
      while (!created.empty()) {
        (void)::rmdir(created.back().c_str());
        created.pop_back();
      }
      throw FatalError::system(step, error);
    }
    created.push_back(folder);
  }
  return created;
}

void remove_directory(const NativeString& path, std::string_view step) {
  if (::rmdir(path.c_str()) != 0) fail(step);
}

std::uint64_t file_size(const NativeString& path, std::string_view step) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) fail(step);
  if (S_ISDIR(info.st_mode)) fail_with(step, EISDIR);
  return static_cast<std::uint64_t>(info.st_size);
}

OpenFile create_output_file(const NativeString& path, std::string_view step) {
  const int fd = ::open(
      path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
  if (fd < 0) fail(step);
  return OpenFile{fd};
}

void append_to_file(OpenFile& file, std::span<const std::uint8_t> bytes,
                    std::string_view step) {
  write_all(static_cast<int>(file.handle), bytes, step);
}

OpenFile open_input_file(const NativeString& path, std::string_view step) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) fail(step);
  return OpenFile{fd};
}

std::size_t read_from_file(OpenFile& file, std::span<std::uint8_t> into,
                           std::string_view step) {
  return read_fully(static_cast<int>(file.handle), into, step);
}

void close_file(OpenFile& file, std::string_view step) {
  if (!file.is_open()) return;
  const int result = ::close(static_cast<int>(file.handle));
  file.handle = -1;
  if (result != 0 && !step.empty()) fail(step);
}

OutputChild spawn_with_output_pipe(const NativeString& program,
                                   const std::vector<NativeString>& arguments,
                                   std::string_view step) {
  const auto [pid, output] =
      spawn_with_pipe(program, arguments, STDOUT_FILENO, step);
  return OutputChild{ChildProcess{pid, -1}, output};
}

std::size_t read_from_child(OutputChild& child, std::span<std::uint8_t> into,
                            std::string_view step) {
  return read_fully(static_cast<int>(child.output), into, step);
}

void close_child_output(OutputChild& child) {
  if (child.output >= 0) ::close(static_cast<int>(child.output));
  child.output = -1;
}

void write_standard_output(std::string_view text, std::string_view step) {
  write_all(STDOUT_FILENO,
            std::span(reinterpret_cast<const std::uint8_t*>(text.data()),
                      text.size()),
            step);
}

bool standard_error_is_terminal() { return ::isatty(STDERR_FILENO) == 1; }

// --- What glyphreel-library needs besides.

namespace {

// Starts a child whose standard error is a new file at `log_path`. The file
// is ours until the spawn is done; closing our copy then leaves the child's.
std::pair<pid_t, int> spawn_logged(const NativeString& program,
                                   const std::vector<NativeString>& arguments,
                                   int child_fd, const NativeString& log_path,
                                   std::string_view step) {
  const int log =
      ::open(log_path.c_str(),
             O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
  if (log < 0) fail(step);
  try {
    const auto started =
        spawn_with_pipe(program, arguments, child_fd, step, log);
    ::close(log);
    return started;
  } catch (...) {
    ::close(log);
    throw;
  }
}

}  // namespace

std::vector<FolderEntry> list_folder(const NativeString& path,
                                     std::string_view step) {
  DIR* const folder = ::opendir(path.c_str());
  if (folder == nullptr) fail(step);
  std::vector<FolderEntry> entries;
  for (;;) {
    errno = 0;
    // Each walk has its own stream, which readdir may use from any thread.
    // cppcheck-suppress readdirCalled
    const dirent* const entry = ::readdir(folder);
    if (entry == nullptr) break;
    const std::string_view name = entry->d_name;
    if (name == "." || name == "..") continue;
    FolderEntry found{NativeString(name), false, false};
#ifdef _DIRENT_HAVE_D_TYPE
    // Most file systems say what an entry is in the listing itself: no
    // stat per entry, which counts in a folder of many thousand videos.
    if (entry->d_type == DT_REG || entry->d_type == DT_DIR) {
      found.is_file = entry->d_type == DT_REG;
      found.is_folder = entry->d_type == DT_DIR;
      entries.push_back(std::move(found));
      continue;
    }
#endif
    struct stat info {};
    if (::fstatat(::dirfd(folder), entry->d_name, &info, AT_SYMLINK_NOFOLLOW) ==
        0) {
      if (S_ISLNK(info.st_mode)) {
        // A link counts only as a file it points to.
        struct stat target {};
        found.is_file =
            ::fstatat(::dirfd(folder), entry->d_name, &target, 0) == 0 &&
            S_ISREG(target.st_mode);
      } else {
        found.is_folder = S_ISDIR(info.st_mode);
        found.is_file = S_ISREG(info.st_mode);
      }
    }
    entries.push_back(std::move(found));
  }
  const int error = errno;
  ::closedir(folder);
  if (error != 0) fail_with(step, error);
  return entries;
}

bool is_folder(const NativeString& path, std::string_view step) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) fail(step);
  return S_ISDIR(info.st_mode);
}

void ensure_folder(const NativeString& path, std::string_view step) {
  struct stat info {};
  if (path.empty() || ::stat(path.c_str(), &info) == 0) {
    if (!path.empty() && !S_ISDIR(info.st_mode)) fail_with(step, ENOTDIR);
    return;
  }
  if (errno != ENOENT) fail(step);
  const NativeString parent = parent_folder(path);
  if (parent != path) ensure_folder(parent, step);
  if (::mkdir(path.c_str(), 0777) == 0) return;
  // Made by another worker since we looked: fine if it is a folder.
  const int error = errno;
  if (error != EEXIST || ::stat(path.c_str(), &info) != 0 ||
      !S_ISDIR(info.st_mode)) {
    fail_with(step, error);
  }
}

MappedFile map_file(const NativeString& path, std::string_view step) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) fail(step);
  struct stat info {};
  if (::fstat(fd, &info) != 0) {
    const int error = errno;
    ::close(fd);
    fail_with(step, error);
  }
  MappedFile mapped;
  mapped.size = static_cast<std::size_t>(info.st_size);
  if (mapped.size > 0) {
    void* const at =
        ::mmap(nullptr, mapped.size, PROT_READ, MAP_PRIVATE, fd, 0);
    if (at == MAP_FAILED) {
      const int error = errno;
      ::close(fd);
      fail_with(step, error);
    }
    mapped.data = static_cast<const std::uint8_t*>(at);
  }
  ::close(fd);
  return mapped;
}

void unmap_file(MappedFile& file) {
  if (file.data != nullptr) {
    ::munmap(const_cast<std::uint8_t*>(file.data), file.size);
  }
  file = MappedFile{};
}

std::string host_name() {
  std::array<char, 256> name{};
  if (::gethostname(name.data(), name.size() - 1) != 0) return {};
  return name.data();
}

LocalTime local_time_now() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  if (::localtime_r(&now, &local) == nullptr) return {};
  return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
          local.tm_hour,        local.tm_min,     local.tm_sec};
}

std::uint64_t process_id() { return static_cast<std::uint64_t>(::getpid()); }

bool process_is_running(std::uint64_t id) {
  if (id == 0 ||
      id > static_cast<std::uint64_t>(std::numeric_limits<pid_t>::max())) {
    return false;
  }
  // Signal 0 only asks: a process we may not signal exists all the same.
  return ::kill(static_cast<pid_t>(id), 0) == 0 || errno == EPERM;
}

ChildProcess spawn_logged_with_input_pipe(
    const NativeString& program, const std::vector<NativeString>& arguments,
    const NativeString& log_path, std::string_view step) {
  const auto [pid, input] =
      spawn_logged(program, arguments, STDIN_FILENO, log_path, step);
  return ChildProcess{pid, input};
}

OutputChild spawn_logged_with_output_pipe(
    const NativeString& program, const std::vector<NativeString>& arguments,
    const NativeString& log_path, std::string_view step) {
  const auto [pid, output] =
      spawn_logged(program, arguments, STDOUT_FILENO, log_path, step);
  return OutputChild{ChildProcess{pid, -1}, output};
}

std::optional<std::uint64_t> seconds_since_modified(const NativeString& path,
                                                    std::string_view step) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) {
    if (errno == ENOENT) return std::nullopt;
    fail(step);
  }
  const std::time_t now = std::time(nullptr);
  return now > info.st_mtime ? static_cast<std::uint64_t>(now - info.st_mtime)
                             : 0;
}

OpenFile open_file_for_appending(const NativeString& path,
                                 std::string_view step) {
  const int fd =
      ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0666);
  if (fd < 0) fail(step);
  return OpenFile{fd};
}

unsigned processor_count() {
  cpu_set_t set;
  CPU_ZERO(&set);
  if (::sched_getaffinity(0, sizeof(set), &set) == 0) {
    return static_cast<unsigned>(std::max(CPU_COUNT(&set), 1));
  }
  const long online = ::sysconf(_SC_NPROCESSORS_ONLN);
  return online > 0 ? static_cast<unsigned>(online) : 1U;
}

void seek_file(OpenFile& file, std::uint64_t offset, std::string_view step) {
  if (offset > static_cast<std::uint64_t>(std::numeric_limits<off_t>::max()) ||
      ::lseek(static_cast<int>(file.handle), static_cast<off_t>(offset),
              SEEK_SET) < 0) {
    fail(step);
  }
}

}  // namespace glyphreel::platform
