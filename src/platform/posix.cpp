// The POSIX half of the platform layer.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <new>

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

ChildProcess spawn_with_input_pipe(const NativeString& program,
                                   const std::vector<NativeString>& arguments,
                                   std::string_view step) {
  // Both ends close on exec; dup2 below gives the child a plain copy of the
  // read end as its stdin, so the write end never reaches it.
  int ends[2];
  if (::pipe2(ends, O_CLOEXEC) != 0) fail(step);
  enlarge_pipe(ends[1]);

  std::vector<char*> argv;
  argv.reserve(arguments.size() + 2);
  argv.push_back(const_cast<char*>(program.c_str()));
  for (const NativeString& argument : arguments) {
    argv.push_back(const_cast<char*>(argument.c_str()));
  }
  argv.push_back(nullptr);

  // Each setup call returns an error number, as the spawn itself does; the
  // first failure stops the start, so the encoder never runs without its
  // pipe as standard input.
  int error = 0;
  const auto check = [&](int result) {
    if (error == 0) error = result;
  };
  posix_spawn_file_actions_t actions;
  check(posix_spawn_file_actions_init(&actions));
  check(posix_spawn_file_actions_adddup2(&actions, ends[0], STDIN_FILENO));

  // We ignore SIGPIPE and SIGXFSZ ourselves; the encoder gets the defaults
  // back.
  posix_spawnattr_t attributes;
  check(posix_spawnattr_init(&attributes));
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
  ::close(ends[0]);
  if (error != 0) {
    ::close(ends[1]);
    throw FatalError::system(step, OsError{error, std::strerror(error)});
  }
  return ChildProcess{pid, ends[1]};
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

}  // namespace glyphreel::platform
