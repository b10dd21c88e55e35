// The Windows half of the platform layer. Paths and arguments are UTF-16
// from GetCommandLineW to CreateProcessW and are never converted on the way.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>

#include <algorithm>
#include <cstddef>
#include <limits>
#include <memory>
#include <mutex>
#include <new>
#include <utility>
#include <vector>

#include "base/fatal_error.hpp"
#include "platform/platform.hpp"
#include "platform/text.hpp"
#include "platform/windows_command_line.hpp"

namespace glyphreel::platform {

namespace {

// ReadFile and WriteFile take a 32-bit count: larger buffers go in pieces.
constexpr DWORD largest_transfer = DWORD{1} << 30;

// A hint only: the system may pick another size for the pipe's buffer.
constexpr DWORD wanted_pipe_size = DWORD{1} << 20;

bool is_broken_pipe(DWORD code) {
  return code == ERROR_BROKEN_PIPE || code == ERROR_NO_DATA;
}

// UTF-8 for reports; an unpaired surrogate (never in system messages)
// becomes U+FFFD.
std::string utf8_from_wide(const wchar_t* text, std::size_t length) {
  std::u16string units(text, text + length);
  if (std::optional<std::string> utf8 = utf8_from_utf16(units)) return *utf8;
  std::replace_if(
      units.begin(), units.end(),
      [](char16_t unit) { return unit >= 0xD800 && unit <= 0xDFFF; },
      u'\uFFFD');
  return utf8_from_utf16(units).value_or(std::string());
}

// The system's text for an error code, as one line: Windows ends its
// messages with a full stop and a line break, which the report's
// " (os error N)" would otherwise follow.
std::string system_message(DWORD code) {
  wchar_t* buffer = nullptr;
  const DWORD length = ::FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
          FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  if (length == 0 || buffer == nullptr) return "unknown error";
  std::string message = utf8_from_wide(buffer, length);
  ::LocalFree(buffer);
  while (!message.empty() &&
         (message.back() == '\r' || message.back() == '\n' ||
          message.back() == ' ' || message.back() == '.')) {
    message.pop_back();
  }
  // Messages with no words left would make a confusing report.
  return message.empty() ? "unknown error" : message;
}

OsError os_error(DWORD code) {
  return OsError{static_cast<int>(code), system_message(code),
                 is_broken_pipe(code)};
}

[[noreturn]] void fail(std::string_view step, DWORD code) {
  throw FatalError::system(step, os_error(code));
}

[[noreturn]] void fail(std::string_view step) { fail(step, ::GetLastError()); }

HANDLE handle_of(std::intptr_t value) {
  return reinterpret_cast<HANDLE>(value);
}

std::intptr_t value_of(HANDLE handle) {
  return reinterpret_cast<std::intptr_t>(handle);
}

// Closes a handle when the scope ends, on every path out of it.
class OwnedHandle {
 public:
  OwnedHandle() = default;
  explicit OwnedHandle(HANDLE handle) : handle_(handle) {}
  OwnedHandle(const OwnedHandle&) = delete;
  OwnedHandle& operator=(const OwnedHandle&) = delete;
  ~OwnedHandle() { reset(); }

  HANDLE get() const { return handle_; }
  bool valid() const {
    return handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE;
  }
  HANDLE* out() {
    reset();
    return &handle_;
  }
  HANDLE release() {
    const HANDLE handle = handle_;
    handle_ = nullptr;
    return handle;
  }
  void reset() {
    if (valid()) ::CloseHandle(handle_);
    handle_ = nullptr;
  }

 private:
  HANDLE handle_ = nullptr;
};

// Writes all bytes, continuing after partial writes. Windows has no
// interrupted writes to repeat.
void write_all(HANDLE handle, std::span<const std::uint8_t> bytes,
               std::string_view step) {
  while (!bytes.empty()) {
    const DWORD offered = static_cast<DWORD>(
        std::min<std::size_t>(bytes.size(), largest_transfer));
    DWORD written = 0;
    if (!::WriteFile(handle, bytes.data(), offered, &written, nullptr)) {
      fail(step);
    }
    if (written == 0) {
      throw FatalError(std::string(step) + ": failed to write whole buffer");
    }
    bytes = bytes.subspan(written);
  }
}

// A copy of one of our standard handles that a child may inherit, or null
// when we have no such handle.
HANDLE inheritable_copy(DWORD which) {
  const HANDLE original = ::GetStdHandle(which);
  if (original == nullptr || original == INVALID_HANDLE_VALUE) return nullptr;
  const HANDLE self = ::GetCurrentProcess();
  HANDLE copy = nullptr;
  if (!::DuplicateHandle(self, original, self, &copy, 0, TRUE,
                         DUPLICATE_SAME_ACCESS)) {
    return nullptr;
  }
  return copy;
}

// The attribute list that limits what a child inherits to `handles`.
class InheritedHandles {
 public:
  explicit InheritedHandles(std::vector<HANDLE> handles, std::string_view step)
      : handles_(std::move(handles)) {
    SIZE_T size = 0;
    ::InitializeProcThreadAttributeList(nullptr, 1, 0, &size);
    storage_ = std::make_unique<std::uintptr_t[]>(
        (size + sizeof(std::uintptr_t) - 1) / sizeof(std::uintptr_t));
    list_ = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(storage_.get());
    if (!::InitializeProcThreadAttributeList(list_, 1, 0, &size)) fail(step);
    if (!::UpdateProcThreadAttribute(
            list_, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, handles_.data(),
            handles_.size() * sizeof(HANDLE), nullptr, nullptr)) {
      const DWORD code = ::GetLastError();
      ::DeleteProcThreadAttributeList(list_);
      fail(step, code);
    }
  }
  InheritedHandles(const InheritedHandles&) = delete;
  InheritedHandles& operator=(const InheritedHandles&) = delete;
  ~InheritedHandles() { ::DeleteProcThreadAttributeList(list_); }

  LPPROC_THREAD_ATTRIBUTE_LIST list() const { return list_; }

 private:
  std::vector<HANDLE> handles_;  // the list points into this
  std::unique_ptr<std::uintptr_t[]> storage_;
  LPPROC_THREAD_ATTRIBUTE_LIST list_ = nullptr;
};

// Held by a thread from the moment a child's end becomes inheritable until
// that child has started.
std::mutex start_mutex;

// Starts `program` with one end of a new pipe as its standard input
// (`child_std` STD_INPUT_HANDLE) or output (STD_OUTPUT_HANDLE), our own
// other two standard handles passed on; returns the process and the other
// end of the pipe, which alone stays with us.
std::pair<HANDLE, HANDLE> spawn_with_pipe(
    const NativeString& program, const std::vector<NativeString>& arguments,
    DWORD child_std, std::string_view step, HANDLE error_file = nullptr) {
  // Neither end is inheritable at first; then the child's end alone is made
  // so, and the handle list below passes it and nothing else of ours.
  OwnedHandle read_end;
  OwnedHandle write_end;
  if (!::CreatePipe(read_end.out(), write_end.out(), nullptr,
                    wanted_pipe_size)) {
    fail(step);
  }
  const bool child_reads = child_std == STD_INPUT_HANDLE;
  OwnedHandle& child_end = child_reads ? read_end : write_end;
  OwnedHandle& our_end = child_reads ? write_end : read_end;
  // One start at a time while a child's end is inheritable: the handle list
  // already keeps it from other children, and this keeps it so even where
  // the list were not honoured.
  const std::lock_guard<std::mutex> one_start(start_mutex);
  if (!::SetHandleInformation(child_end.get(), HANDLE_FLAG_INHERIT,
                              HANDLE_FLAG_INHERIT)) {
    fail(step);
  }
  const OwnedHandle input(child_reads ? nullptr
                                      : inheritable_copy(STD_INPUT_HANDLE));
  const OwnedHandle output(child_reads ? inheritable_copy(STD_OUTPUT_HANDLE)
                                       : nullptr);
  const OwnedHandle error(
      error_file != nullptr ? nullptr : inheritable_copy(STD_ERROR_HANDLE));
  const HANDLE child_error = error_file != nullptr ? error_file : error.get();

  std::vector<HANDLE> inherited = {child_end.get()};
  for (const OwnedHandle* handle : {&input, &output, &error}) {
    if (handle->valid()) inherited.push_back(handle->get());
  }
  if (error_file != nullptr) inherited.push_back(error_file);
  const InheritedHandles handle_list(std::move(inherited), step);

  STARTUPINFOEXW startup{};
  startup.StartupInfo.cb = sizeof(startup);
  startup.StartupInfo.dwFlags = STARTF_USESTDHANDLES;
  startup.StartupInfo.hStdInput = child_reads ? child_end.get() : input.get();
  startup.StartupInfo.hStdOutput = child_reads ? output.get() : child_end.get();
  startup.StartupInfo.hStdError = child_error;
  startup.lpAttributeList = handle_list.list();

  // No application name: the system finds a bare program name the usual
  // way (our own folder, the current one, the system folders, PATH, with
  // ".exe" added). CreateProcessW may write to the command line buffer.
  std::wstring command_line = windows_command_line(program, arguments);
  PROCESS_INFORMATION started{};
  if (!::CreateProcessW(nullptr, command_line.data(), nullptr, nullptr, TRUE,
                        EXTENDED_STARTUPINFO_PRESENT, nullptr, nullptr,
                        &startup.StartupInfo, &started)) {
    fail(step);
  }
  ::CloseHandle(started.hThread);
  // The child's end and our standard handles' copies close here: the child
  // has its own, so the end of its input, or of its output, is seen.
  return {started.hProcess, our_end.release()};
}

}  // namespace

void prepare_process() {
  // No "insert a disk" or "cannot open file" boxes: a console tool that
  // runs unattended reports such failures as errors instead. Writes to a
  // pipe whose reader has gone already fail with an error here.
  ::SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
}

std::vector<NativeString> native_arguments(int, char**) {
  // The C runtime's argv has been through the ANSI code page; the wide
  // command line has not.
  int count = 0;
  wchar_t** const vector = ::CommandLineToArgvW(::GetCommandLineW(), &count);
  std::vector<NativeString> arguments;
  if (vector == nullptr) return arguments;  // out of memory: the usage text
  arguments.assign(vector, vector + count);
  ::LocalFree(vector);
  return arguments;
}

std::optional<std::string> argument_text(const NativeString& argument) {
  return utf8_from_utf16(std::u16string(argument.begin(), argument.end()));
}

NativeString native_from_ascii(std::string_view ascii) {
  return NativeString(ascii.begin(), ascii.end());
}

void write_standard_error(std::string_view text) {
  const HANDLE handle = ::GetStdHandle(STD_ERROR_HANDLE);
  if (handle == nullptr || handle == INVALID_HANDLE_VALUE || text.empty()) {
    return;
  }
  DWORD mode = 0;
  if (::GetConsoleMode(handle, &mode)) {
    // A console shows UTF-16 whatever its code page.
    const int length = ::MultiByteToWideChar(
        CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    if (length <= 0) return;
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, text.data(),
                          static_cast<int>(text.size()), wide.data(), length);
    std::wstring_view rest = wide;
    while (!rest.empty()) {
      DWORD written = 0;
      const DWORD offered = static_cast<DWORD>(
          std::min<std::size_t>(rest.size(), largest_transfer));
      if (!::WriteConsoleW(handle, rest.data(), offered, &written, nullptr) ||
          written == 0) {
        return;
      }
      rest.remove_prefix(written);
    }
    return;
  }
  // A file or a pipe gets the UTF-8 bytes.
  while (!text.empty()) {
    DWORD written = 0;
    const DWORD offered = static_cast<DWORD>(
        std::min<std::size_t>(text.size(), largest_transfer));
    if (!::WriteFile(handle, text.data(), offered, &written, nullptr) ||
        written == 0) {
      return;
    }
    text.remove_prefix(written);
  }
}

FileHead read_file_head(const NativeString& path, std::size_t limit,
                        std::string_view step) {
  OwnedHandle file(::CreateFileW(
      path.c_str(), GENERIC_READ,
      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN,
      nullptr));
  if (!file.valid()) fail(step);

  // Sized for the whole file and one byte more, so the read that finds the
  // end needs no larger buffer. A file that grows meanwhile, or one whose
  // size is unknown, grows the buffer as it comes.
  constexpr std::size_t chunk = std::size_t{1} << 20;
  std::size_t expected = chunk;
  std::uint64_t known_size = 0;
  LARGE_INTEGER size{};
  if (::GetFileType(file.get()) == FILE_TYPE_DISK &&
      ::GetFileSizeEx(file.get(), &size) && size.QuadPart >= 0 &&
      static_cast<std::uint64_t>(size.QuadPart) <
          std::numeric_limits<std::size_t>::max()) {
    known_size = static_cast<std::uint64_t>(size.QuadPart);
    expected = static_cast<std::size_t>(known_size) + 1;
  }
  try {
    std::vector<std::uint8_t> bytes(std::min(expected, limit));
    std::size_t used = 0;
    for (;;) {
      if (used == bytes.size()) {
        if (used == limit) break;
        bytes.resize(std::min(bytes.size() + chunk, limit));
      }
      const DWORD wanted = static_cast<DWORD>(
          std::min<std::size_t>(bytes.size() - used, largest_transfer));
      DWORD got = 0;
      if (!::ReadFile(file.get(), bytes.data() + used, wanted, &got, nullptr)) {
        // The writer of a pipe closing is the end of the file.
        if (::GetLastError() == ERROR_BROKEN_PIPE) break;
        fail(step);
      }
      if (got == 0) break;
      used += got;
    }
    bytes.resize(used);
    // Stopped at the limit, the file may hold more than was read.
    const std::uint64_t length =
        used < limit ? used : std::max<std::uint64_t>(used, known_size);
    return FileHead{std::move(bytes), length};
  } catch (const std::bad_alloc&) {
    fail(step, ERROR_NOT_ENOUGH_MEMORY);
  }
}

void create_new_file(const NativeString& path,
                     std::span<const std::uint8_t> bytes,
                     std::string_view step) {
  // CREATE_NEW fails on anything already at the path; FILE_FLAG_OPEN_
  // REPARSE_POINT keeps a dangling link from being followed to create its
  // target.
  OwnedHandle file(::CreateFileW(
      path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
      FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  if (!file.valid()) fail(step);
  write_all(file.get(), bytes, step);
  if (!::CloseHandle(file.release())) fail(step);
}

namespace {

// Whether something stands at the path. A link counts by its target when
// `follow_links`, else by itself.
bool something_at(const NativeString& path, std::string_view step,
                  bool follow_links) {
  const auto absent_or_fail = [&](DWORD code) {
    if (code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND) {
      return false;
    }
    // Someone holds it open or locked: it is there.
    if (code == ERROR_SHARING_VIOLATION || code == ERROR_LOCK_VIOLATION) {
      return true;
    }
    fail(step, code);
  };

  const DWORD attributes = ::GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    return absent_or_fail(::GetLastError());
  }
  if (!follow_links || (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) {
    return true;
  }

  // A link: it exists when its target does. Opening with no access rights
  // follows it; backup semantics lets the target be a directory.
  OwnedHandle target(::CreateFileW(
      path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  if (target.valid()) return true;
  return absent_or_fail(::GetLastError());
}

}  // namespace

bool path_exists(const NativeString& path, std::string_view step) {
  return something_at(path, step, true);
}

bool path_or_link_exists(const NativeString& path, std::string_view step) {
  // GetFileAttributesW does not follow a reparse point: a dangling link has
  // attributes of its own.
  return something_at(path, step, false);
}

void delete_file(const NativeString& path, std::string_view step) {
  if (!::DeleteFileW(path.c_str())) fail(step);
}

void rename_file(const NativeString& from, const NativeString& to,
                 std::string_view step) {
  if (!::MoveFileExW(from.c_str(), to.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    fail(step);
  }
}

ChildProcess spawn_with_input_pipe(const NativeString& program,
                                   const std::vector<NativeString>& arguments,
                                   std::string_view step) {
  const auto [process, input] =
      spawn_with_pipe(program, arguments, STD_INPUT_HANDLE, step);
  return ChildProcess{value_of(process), value_of(input)};
}

void write_to_child(ChildProcess& child, std::span<const std::uint8_t> bytes,
                    std::string_view step) {
  write_all(handle_of(child.input), bytes, step);
}

void close_child_input(ChildProcess& child) {
  if (child.input != -1) ::CloseHandle(handle_of(child.input));
  child.input = -1;
}

ExitStatus wait_for_child(ChildProcess& child, std::string_view step) {
  OwnedHandle process(handle_of(child.process));
  child.process = -1;
  if (::WaitForSingleObject(process.get(), INFINITE) == WAIT_FAILED) {
    fail(step);
  }
  DWORD code = 0;
  if (!::GetExitCodeProcess(process.get(), &code)) fail(step);
  return ExitStatus{false, static_cast<int>(code)};
}

// --- Stops.

void fail_out_of_memory(std::string_view step) {
  fail(step, ERROR_NOT_ENOUGH_MEMORY);
}

namespace {

// What the console handler removes. It runs on a thread of its own, so the
// lists change and are read under the lock.
SRWLOCK stop_lock = SRWLOCK_INIT;
std::vector<NativeString> stop_files;
std::vector<NativeString> stop_folders;
bool stop_handler_installed = false;

// Ctrl-C, Ctrl-Break, the console closing, the user logging off or the
// system shutting down. The outputs are opened with FILE_SHARE_DELETE, so
// a file still being written can be deleted too. The lock stays held: the
// run makes nothing more while the process ends. FALSE passes the event on
// to the system's handler, which ends the process.
BOOL WINAPI remove_and_stop(DWORD) {
  ::AcquireSRWLockExclusive(&stop_lock);
  for (const NativeString& file : stop_files) ::DeleteFileW(file.c_str());
  for (const NativeString& folder : stop_folders) {
    ::RemoveDirectoryW(folder.c_str());
  }
  return FALSE;
}

}  // namespace

void remove_when_stopped(const std::vector<NativeString>& files,
                         const std::vector<NativeString>& folders) {
  std::vector<NativeString> next_files = files;
  std::vector<NativeString> next_folders = folders;
  ::AcquireSRWLockExclusive(&stop_lock);
  stop_files.swap(next_files);
  stop_folders.swap(next_folders);
  if (!stop_handler_installed) {
    stop_handler_installed = ::SetConsoleCtrlHandler(remove_and_stop, TRUE);
  }
  ::ReleaseSRWLockExclusive(&stop_lock);
}

// --- What glyphreel-import needs besides.

namespace {

bool is_separator(wchar_t c) { return c == L'\\' || c == L'/'; }

// "C:\...", "\\server\...", "\..." or "/...": not relative to a folder.
bool is_absolute(const NativeString& path) {
  if (!path.empty() && is_separator(path.front())) return true;
  return path.size() >= 3 && path[1] == L':' && is_separator(path[2]);
}

// Reads until `into` is full or the end; the writer of a pipe closing is
// the end too.
std::size_t read_fully(HANDLE handle, std::span<std::uint8_t> into,
                       std::string_view step) {
  std::size_t used = 0;
  while (used < into.size()) {
    const DWORD wanted = static_cast<DWORD>(
        std::min<std::size_t>(into.size() - used, largest_transfer));
    DWORD got = 0;
    if (!::ReadFile(handle, into.data() + used, wanted, &got, nullptr)) {
      if (::GetLastError() == ERROR_BROKEN_PIPE) break;
      fail(step);
    }
    if (got == 0) break;
    used += got;
  }
  return used;
}

}  // namespace

std::string display_path(const NativeString& path) {
  return utf8_from_wide(path.data(), path.size());
}

NativeString native_from_utf8(std::string_view utf8) {
  if (utf8.empty()) return {};
  const int length = ::MultiByteToWideChar(
      CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  NativeString wide(static_cast<std::size_t>(std::max(length, 0)), L'\0');
  ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()),
                        wide.data(), length);
  return wide;
}

NativeString parent_folder(const NativeString& path) {
  const std::size_t last = path.find_last_of(L"\\/");
  if (last == NativeString::npos) {
    // "C:name" lies in the current folder of drive C.
    return path.size() >= 2 && path[1] == L':' ? path.substr(0, 2) : L"";
  }
  const std::size_t end = path.find_last_not_of(L"\\/", last);
  // A root keeps its separator: "\", "C:\".
  if (end == NativeString::npos) return path.substr(0, 1);
  if (end == 1 && path[1] == L':') return path.substr(0, 3);
  return path.substr(0, end + 1);
}

NativeString join_path(const NativeString& folder, const NativeString& name) {
  if (folder.empty() || is_absolute(name)) return name;
  if (is_separator(folder.back()) || folder.back() == L':') {
    return folder + name;
  }
  return folder + L'\\' + name;
}

std::vector<NativeString> create_directories(const NativeString& path,
                                             std::string_view step) {
  // Up to the nearest folder that exists, then the missing ones downwards.
  std::vector<NativeString> missing;
  NativeString at = path;
  while (at.size() > 1 && is_separator(at.back()) &&
         !(at.size() == 3 && at[1] == L':')) {
    at.pop_back();
  }
  while (!at.empty()) {
    const DWORD attributes = ::GetFileAttributesW(at.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES) {
      if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        fail(step, ERROR_ALREADY_EXISTS);
      }
      break;
    }
    const DWORD code = ::GetLastError();
    if (code != ERROR_FILE_NOT_FOUND && code != ERROR_PATH_NOT_FOUND) {
      fail(step, code);
    }
    missing.push_back(at);
    const NativeString parent = parent_folder(at);
    if (parent == at) break;
    at = parent;
  }
  std::vector<NativeString> created;
  for (std::size_t i = missing.size(); i-- > 0;) {
    const NativeString& folder = missing[i];
    if (!::CreateDirectoryW(folder.c_str(), nullptr)) {
      const DWORD code = ::GetLastError();
      while (!created.empty()) {
        ::RemoveDirectoryW(created.back().c_str());
        created.pop_back();
      }
      fail(step, code);
    }
    created.push_back(folder);
  }
  return created;
}

void remove_directory(const NativeString& path, std::string_view step) {
  if (!::RemoveDirectoryW(path.c_str())) fail(step);
}

std::uint64_t file_size(const NativeString& path, std::string_view step) {
  // Opening a folder as a file fails (access denied), as reading it would.
  OwnedHandle file(
      ::CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES,
                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.valid()) fail(step);
  LARGE_INTEGER size{};
  if (!::GetFileSizeEx(file.get(), &size)) fail(step);
  return static_cast<std::uint64_t>(size.QuadPart);
}

OpenFile create_output_file(const NativeString& path, std::string_view step) {
  // Shared for deletion only, so that a stopped run can take it away while
  // it is still open.
  const HANDLE file = ::CreateFileW(
      path.c_str(), GENERIC_WRITE, FILE_SHARE_DELETE, nullptr, CREATE_NEW,
      FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (file == INVALID_HANDLE_VALUE) fail(step);
  return OpenFile{value_of(file)};
}

void append_to_file(OpenFile& file, std::span<const std::uint8_t> bytes,
                    std::string_view step) {
  write_all(handle_of(file.handle), bytes, step);
}

OpenFile open_input_file(const NativeString& path, std::string_view step) {
  const HANDLE file =
      ::CreateFileW(path.c_str(), GENERIC_READ,
                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING,
                    FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (file == INVALID_HANDLE_VALUE) fail(step);
  return OpenFile{value_of(file)};
}

std::size_t read_from_file(OpenFile& file, std::span<std::uint8_t> into,
                           std::string_view step) {
  return read_fully(handle_of(file.handle), into, step);
}

void close_file(OpenFile& file, std::string_view step) {
  if (!file.is_open()) return;
  const BOOL closed = ::CloseHandle(handle_of(file.handle));
  file.handle = -1;
  if (!closed && !step.empty()) fail(step);
}

OutputChild spawn_with_output_pipe(const NativeString& program,
                                   const std::vector<NativeString>& arguments,
                                   std::string_view step) {
  const auto [process, output] =
      spawn_with_pipe(program, arguments, STD_OUTPUT_HANDLE, step);
  return OutputChild{ChildProcess{value_of(process), -1}, value_of(output)};
}

std::size_t read_from_child(OutputChild& child, std::span<std::uint8_t> into,
                            std::string_view step) {
  return read_fully(handle_of(child.output), into, step);
}

void close_child_output(OutputChild& child) {
  if (child.output != -1) ::CloseHandle(handle_of(child.output));
  child.output = -1;
}

void write_standard_output(std::string_view text, std::string_view step) {
  const HANDLE handle = ::GetStdHandle(STD_OUTPUT_HANDLE);
  if (handle == nullptr || handle == INVALID_HANDLE_VALUE) {
    fail(step, ERROR_INVALID_HANDLE);
  }
  DWORD mode = 0;
  if (!::GetConsoleMode(handle, &mode)) {
    write_all(handle,
              std::span(reinterpret_cast<const std::uint8_t*>(text.data()),
                        text.size()),
              step);
    return;
  }
  // A console shows UTF-16 whatever its code page.
  const NativeString wide = native_from_utf8(text);
  std::wstring_view rest = wide;
  while (!rest.empty()) {
    DWORD written = 0;
    const DWORD offered = static_cast<DWORD>(
        std::min<std::size_t>(rest.size(), largest_transfer));
    if (!::WriteConsoleW(handle, rest.data(), offered, &written, nullptr)) {
      fail(step);
    }
    if (written == 0) {
      throw FatalError(std::string(step) + ": failed to write whole buffer");
    }
    rest.remove_prefix(written);
  }
}

bool standard_error_is_terminal() {
  DWORD mode = 0;
  return ::GetConsoleMode(::GetStdHandle(STD_ERROR_HANDLE), &mode) != 0;
}

// --- What glyphreel-library needs besides.

namespace {

// Starts a child whose standard error is a new file at `log_path`. The file
// is opened inheritable for the child alone (the handle list names it) and
// closed on our side once the child has started.
std::pair<HANDLE, HANDLE> spawn_logged(
    const NativeString& program, const std::vector<NativeString>& arguments,
    DWORD child_std, const NativeString& log_path, std::string_view step) {
  SECURITY_ATTRIBUTES inheritable{};
  inheritable.nLength = sizeof(inheritable);
  inheritable.bInheritHandle = TRUE;
  // Shared for deleting, so that the log can go while a child that outlived
  // its parent still holds it.
  const OwnedHandle log(::CreateFileW(
      log_path.c_str(), GENERIC_WRITE,
      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, &inheritable,
      CREATE_NEW, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT,
      nullptr));
  if (!log.valid()) fail(step);
  return spawn_with_pipe(program, arguments, child_std, step, log.get());
}

}  // namespace

std::vector<FolderEntry> list_folder(const NativeString& path,
                                     std::string_view step) {
  WIN32_FIND_DATAW found{};
  const HANDLE search = ::FindFirstFileW(join_path(path, L"*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) fail(step);
  std::vector<FolderEntry> entries;
  DWORD code = ERROR_NO_MORE_FILES;
  do {
    const NativeString name = found.cFileName;
    if (name == L"." || name == L"..") continue;
    const DWORD attributes = found.dwFileAttributes;
    const bool link = (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    const bool folder = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    // A link to a folder is not followed; a link to a file counts as one.
    entries.push_back({name, folder && !link, !folder});
  } while (::FindNextFileW(search, &found) ||
           (code = ::GetLastError()) != ERROR_NO_MORE_FILES);
  ::FindClose(search);
  if (code != ERROR_NO_MORE_FILES) fail(step, code);
  return entries;
}

bool is_folder(const NativeString& path, std::string_view step) {
  const DWORD attributes = ::GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) fail(step);
  return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

void ensure_folder(const NativeString& path, std::string_view step) {
  if (path.empty()) return;
  const DWORD attributes = ::GetFileAttributesW(path.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES) {
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
      fail(step, ERROR_ALREADY_EXISTS);
    }
    return;
  }
  const DWORD missing = ::GetLastError();
  if (missing != ERROR_FILE_NOT_FOUND && missing != ERROR_PATH_NOT_FOUND) {
    fail(step, missing);
  }
  const NativeString parent = parent_folder(path);
  if (parent != path) ensure_folder(parent, step);
  if (::CreateDirectoryW(path.c_str(), nullptr)) return;
  // Made by another worker since we looked: fine if it is a folder.
  const DWORD code = ::GetLastError();
  const DWORD now = ::GetFileAttributesW(path.c_str());
  if (code != ERROR_ALREADY_EXISTS || now == INVALID_FILE_ATTRIBUTES ||
      (now & FILE_ATTRIBUTE_DIRECTORY) == 0) {
    fail(step, code);
  }
}

MappedFile map_file(const NativeString& path, std::string_view step) {
  const OwnedHandle file(::CreateFileW(
      path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.valid()) fail(step);
  LARGE_INTEGER size{};
  if (!::GetFileSizeEx(file.get(), &size)) fail(step);
  if (static_cast<std::uint64_t>(size.QuadPart) >
      std::numeric_limits<std::size_t>::max()) {
    fail(step, ERROR_NOT_ENOUGH_MEMORY);
  }
  MappedFile mapped;
  mapped.size = static_cast<std::size_t>(size.QuadPart);
  if (mapped.size == 0) return mapped;
  // The view keeps the mapping, and the mapping the file, for as long as
  // it lasts.
  const OwnedHandle mapping(
      ::CreateFileMappingW(file.get(), nullptr, PAGE_READONLY, 0, 0, nullptr));
  if (!mapping.valid()) fail(step);
  const void* const view =
      ::MapViewOfFile(mapping.get(), FILE_MAP_READ, 0, 0, 0);
  if (view == nullptr) fail(step);
  mapped.data = static_cast<const std::uint8_t*>(view);
  return mapped;
}

void unmap_file(MappedFile& file) {
  if (file.data != nullptr) ::UnmapViewOfFile(file.data);
  file = MappedFile{};
}

std::string host_name() {
  wchar_t name[MAX_COMPUTERNAME_LENGTH + 256] = {};
  DWORD length = static_cast<DWORD>(std::size(name));
  if (!::GetComputerNameExW(ComputerNameDnsHostname, name, &length)) {
    return {};
  }
  return utf8_from_wide(name, length);
}

LocalTime local_time_now() {
  SYSTEMTIME now{};
  ::GetLocalTime(&now);
  return {now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond};
}

std::uint64_t process_id() { return ::GetCurrentProcessId(); }

bool process_is_running(std::uint64_t id) {
  if (id == 0 || id > std::numeric_limits<DWORD>::max()) return false;
  const OwnedHandle process(::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION,
                                          FALSE, static_cast<DWORD>(id)));
  if (!process.valid()) {
    // One we may not look at exists all the same.
    return ::GetLastError() == ERROR_ACCESS_DENIED;
  }
  DWORD code = 0;
  return ::GetExitCodeProcess(process.get(), &code) && code == STILL_ACTIVE;
}

ChildProcess spawn_logged_with_input_pipe(
    const NativeString& program, const std::vector<NativeString>& arguments,
    const NativeString& log_path, std::string_view step) {
  const auto [process, input] =
      spawn_logged(program, arguments, STD_INPUT_HANDLE, log_path, step);
  return ChildProcess{value_of(process), value_of(input)};
}

OutputChild spawn_logged_with_output_pipe(
    const NativeString& program, const std::vector<NativeString>& arguments,
    const NativeString& log_path, std::string_view step) {
  const auto [process, output] =
      spawn_logged(program, arguments, STD_OUTPUT_HANDLE, log_path, step);
  return OutputChild{ChildProcess{value_of(process), -1}, value_of(output)};
}

std::optional<std::uint64_t> seconds_since_modified(const NativeString& path,
                                                    std::string_view step) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) {
    const DWORD code = ::GetLastError();
    if (code == ERROR_FILE_NOT_FOUND) return std::nullopt;
    fail(step, code);
  }
  FILETIME now_time{};
  ::GetSystemTimeAsFileTime(&now_time);
  // Both in 100-nanosecond steps.
  const auto ticks = [](const FILETIME& time) {
    return (std::uint64_t{time.dwHighDateTime} << 32) | time.dwLowDateTime;
  };
  const std::uint64_t now = ticks(now_time);
  const std::uint64_t changed = ticks(data.ftLastWriteTime);
  return now > changed ? (now - changed) / 10000000 : 0;
}

OpenFile open_file_for_appending(const NativeString& path,
                                 std::string_view step) {
  const HANDLE file = ::CreateFileW(
      path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
      nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) fail(step);
  return OpenFile{value_of(file)};
}

unsigned processor_count() {
  DWORD_PTR process_mask = 0;
  DWORD_PTR system_mask = 0;
  if (::GetProcessAffinityMask(::GetCurrentProcess(), &process_mask,
                               &system_mask) &&
      process_mask != 0) {
    unsigned count = 0;
    for (; process_mask != 0; process_mask &= process_mask - 1) ++count;
    return count;
  }
  SYSTEM_INFO info{};
  ::GetSystemInfo(&info);
  return std::max<unsigned>(info.dwNumberOfProcessors, 1);
}

void seek_file(OpenFile& file, std::uint64_t offset, std::string_view step) {
  LARGE_INTEGER distance{};
  if (offset >
      static_cast<std::uint64_t>(std::numeric_limits<LONGLONG>::max())) {
    fail(step, ERROR_NEGATIVE_SEEK);
  }
  distance.QuadPart = static_cast<LONGLONG>(offset);
  if (!::SetFilePointerEx(handle_of(file.handle), distance, nullptr,
                          FILE_BEGIN)) {
    fail(step);
  }
}

}  // namespace glyphreel::platform
