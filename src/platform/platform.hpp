// Everything the program needs of the operating system, and nothing more.
// posix.cpp and win32.cpp implement this header; no other file talks to the OS.
//
// Operations that can fail throw a FatalError whose report is the caller's
// step text, ": ", and the system's description of the error.
#pragma once

#include <cstdint>
#include <limits>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace glyphreel::platform {

// Paths and arguments stay in the platform's own form from the command line
// to the child process: bytes on POSIX, UTF-16 on Windows.
#ifdef _WIN32
using NativeChar = wchar_t;
#else
using NativeChar = char;
#endif
using NativeString = std::basic_string<NativeChar>;

// Once, before anything else. A write to a pipe whose reader has gone, and
// on POSIX one past the file-size limit, must come back as an error rather
// than end the process; the wait for a child must work whatever our caller
// did with SIGCHLD; and on POSIX a standard descriptor that our caller left
// closed is opened on /dev/null, so no file or pipe of ours takes its place.
// (On Windows a missing standard handle just means that nothing is written
// to standard error.)
void prepare_process();

// The argument vector in native form, the program name first. On POSIX the
// arguments of main are taken as they are; Windows reads its own wide
// command line and ignores them.
std::vector<NativeString> native_arguments(int argc, char** argv);

// The argument as UTF-8 text, or nothing when it is not valid Unicode.
std::optional<std::string> argument_text(const NativeString& argument);

// An ASCII text in native form, for the fixed arguments of the encoder.
NativeString native_from_ascii(std::string_view ascii);

// Writes UTF-8 text to standard error; failures are ignored, as there is no
// one left to tell.
void write_standard_error(std::string_view text);

// The first bytes of a file, at most `limit` of them, and its length: the
// number of bytes read when the file ended within the limit; otherwise its
// size where the file system knows it (a regular file), else the bytes read.
// Memory that cannot be had for the bytes is a failure of the step with the
// system's out-of-memory error, like any other.
struct FileHead {
  std::vector<std::uint8_t> bytes;
  std::uint64_t length = 0;
};
FileHead read_file_head(const NativeString& path, std::size_t limit,
                        std::string_view step);

inline std::vector<std::uint8_t> read_whole_file(const NativeString& path,
                                                 std::string_view step) {
  return read_file_head(path, std::numeric_limits<std::size_t>::max(), step)
      .bytes;
}

// Creates a new file and writes all bytes to it. Fails when anything, a link
// included, already stands at the path: nothing of the user's is truncated or
// written through a link.
void create_new_file(const NativeString& path,
                     std::span<const std::uint8_t> bytes,
                     std::string_view step);

// True when the path names a file or directory after following links, or an
// object that is locked by another process. Only "does not exist" counts as
// absence; any other failure of the query is reported.
bool path_exists(const NativeString& path, std::string_view step);

// True when anything at all stands at the path, a link included, whether or
// not its target exists. Failures of the query are reported as above.
bool path_or_link_exists(const NativeString& path, std::string_view step);

void delete_file(const NativeString& path, std::string_view step);

// Gives the file at `from` the name `to` in one step, replacing what stands
// at `to`: a reader sees either the old file or the whole new one. Both
// paths are in the same folder.
void rename_file(const NativeString& from, const NativeString& to,
                 std::string_view step);

// A started child process with a pipe into its standard input.
struct ChildProcess {
  std::intptr_t process = -1;  // process id on POSIX, process HANDLE on Windows
  std::intptr_t input = -1;    // write end of the pipe into the child's stdin
};

// Starts `program` (a bare name is looked up the platform's usual way) with
// `arguments`, its standard input a new pipe whose write end alone stays with
// us, standard output and standard error inherited.
ChildProcess spawn_with_input_pipe(const NativeString& program,
                                   const std::vector<NativeString>& arguments,
                                   std::string_view step);

// Writes every byte to the child's input, continuing after partial writes and
// repeating interrupted ones. A write after the child has closed its end fails
// with a broken-pipe error.
void write_to_child(ChildProcess& child, std::span<const std::uint8_t> bytes,
                    std::string_view step);

// Closes the write end, so the child sees the end of its input.
void close_child_input(ChildProcess& child);

struct ExitStatus {
  bool by_signal = false;
  int code = 0;  // exit code, or the signal number when by_signal
  bool success() const { return !by_signal && code == 0; }
};

// "exit status 1", "killed by signal 9".
inline std::string describe(const ExitStatus& status) {
  return (status.by_signal ? "killed by signal " : "exit status ") +
         std::to_string(status.code);
}

// Waits for the child without a time limit, then releases its handles.
ExitStatus wait_for_child(ChildProcess& child, std::string_view step);

// --- Stops: memory that cannot be had, and the process stopped from
// outside while a run is writing.

// A fatal stop of the step with the system's out-of-memory error, for an
// allocation that failed: "<step>: Cannot allocate memory (os error 12)".
[[noreturn]] void fail_out_of_memory(std::string_view step);

// What to take away should the process be stopped from outside while a run
// writes: on POSIX by SIGINT, SIGTERM or SIGHUP (each one that was not
// ignored when the first list was given), on Windows by Ctrl-C, Ctrl-Break
// or the console being closed. The files are deleted, then the folders
// removed in the order given (innermost first), each where it can be; then
// the process ends as the signal or the event would have ended it. Each
// call replaces the whole list; empty lists leave nothing to take away.
// The first call installs the handlers, which stay.
void remove_when_stopped(const std::vector<NativeString>& files,
                         const std::vector<NativeString>& folders);

// --- What glyphreel-import needs besides: folders, files written and read
// in pieces, paths joined, and a child whose standard output we read.

// The path as UTF-8 text for a report: on POSIX, bytes that are not UTF-8
// become U+FFFD; on Windows, unpaired surrogates do.
std::string display_path(const NativeString& path);

// A name read from a text file (UTF-8) in native form: unchanged bytes on
// POSIX, UTF-16 on Windows.
NativeString native_from_utf8(std::string_view utf8);

// The folder part of a path, up to and without its last separator; empty
// for a bare name (the current folder).
NativeString parent_folder(const NativeString& path);

// `name` inside `folder`. A name that is absolute already stays as it is; an
// empty folder is the current one.
NativeString join_path(const NativeString& folder, const NativeString& name);

// Creates the folder and every missing parent. An existing folder is fine;
// anything else in the way is an error. Returns the folders it created,
// outermost first, so that a failed run can take them away again.
std::vector<NativeString> create_directories(const NativeString& path,
                                             std::string_view step);

// Removes an empty folder.
void remove_directory(const NativeString& path, std::string_view step);

// The size in bytes of the file at the path, links followed.
std::uint64_t file_size(const NativeString& path, std::string_view step);

// A file open for reading or for writing in pieces. Closed only by the
// calls below, never by a destructor.
struct OpenFile {
  std::intptr_t handle = -1;  // file descriptor on POSIX, HANDLE on Windows
  bool is_open() const { return handle != -1; }
};

// Creates a new file for writing. Like create_new_file, it fails when
// anything, a link included, already stands at the path.
OpenFile create_output_file(const NativeString& path, std::string_view step);

// Writes every byte at the end of what was written so far.
void append_to_file(OpenFile& file, std::span<const std::uint8_t> bytes,
                    std::string_view step);

// Opens an existing file for reading from its first byte.
OpenFile open_input_file(const NativeString& path, std::string_view step);

// Fills `into` from the file; returns the bytes read, fewer than asked only
// at the end of the file.
std::size_t read_from_file(OpenFile& file, std::span<std::uint8_t> into,
                           std::string_view step);

// Closes the file. A failure is reported for a file that was written (the
// system may report a deferred write error only here); pass an empty step
// to ignore failures, as the clean-up after a failed run does.
void close_file(OpenFile& file, std::string_view step);

// A started child process with a pipe from its standard output.
struct OutputChild {
  ChildProcess process;       // for wait_for_child; its input stays -1
  std::intptr_t output = -1;  // read end of the pipe from the child's stdout
};

// Starts `program` (a bare name is looked up the platform's usual way) with
// `arguments`, its standard output a new pipe whose read end alone stays
// with us, standard input and standard error inherited.
OutputChild spawn_with_output_pipe(const NativeString& program,
                                   const std::vector<NativeString>& arguments,
                                   std::string_view step);

// Fills `into` from the child's output; returns the bytes read, fewer than
// asked only when the child has closed its end.
std::size_t read_from_child(OutputChild& child, std::span<std::uint8_t> into,
                            std::string_view step);

// Closes our end of the child's output pipe.
void close_child_output(OutputChild& child);

// Writes UTF-8 text to standard output, every byte or a failure.
void write_standard_output(std::string_view text, std::string_view step);

// True when standard error is a terminal (a console on Windows), where a
// progress line may be redrawn in place.
bool standard_error_is_terminal();

// --- What glyphreel-library needs besides: collections walked folder by
// folder, zips mapped, the owners of temporaries, children spawned from
// several threads at once with their messages in a file, results appended.

// One entry of a folder. A link counts as the file it points to; a link to
// a folder, or one that points nowhere, counts as neither, so that a walk
// never loops.
struct FolderEntry {
  NativeString name;
  bool is_folder = false;
  bool is_file = false;
};

// The folder's entries but "." and "..", in no particular order.
std::vector<FolderEntry> list_folder(const NativeString& path,
                                     std::string_view step);

// True for a folder (links followed), false for anything else that exists;
// a missing path is a failure of the step.
bool is_folder(const NativeString& path, std::string_view step);

// Creates the folder and its missing parents. A folder that exists already,
// or that another process creates meanwhile, is fine.
void ensure_folder(const NativeString& path, std::string_view step);

// A file's bytes, mapped read-only: only the pages read are read from the
// file. Released by unmap_file alone.
struct MappedFile {
  const std::uint8_t* data = nullptr;
  std::size_t size = 0;
  std::span<const std::uint8_t> bytes() const { return {data, size}; }
};
MappedFile map_file(const NativeString& path, std::string_view step);
void unmap_file(MappedFile& file);

// This machine's name as the system gives it; "" when it gives none.
std::string host_name();

// The date and time now by this machine's clock, in its time zone: what a
// file written now is dated in a zip.
struct LocalTime {
  int year = 1980;
  int month = 1;  // 1 ... 12
  int day = 1;    // 1 ... 31
  int hour = 0;
  int minute = 0;
  int second = 0;
};
LocalTime local_time_now();

// The id of this process.
std::uint64_t process_id();

// True while a process of that id runs on this machine (whichever program
// it is: ids are reused); false once none does.
bool process_is_running(std::uint64_t id);

// As spawn_with_input_pipe and spawn_with_output_pipe, but the child's
// standard error goes to a new file at `log_path` (never over anything
// already there). Safe while other threads spawn children too: no child
// inherits another's pipe ends or log file.
ChildProcess spawn_logged_with_input_pipe(
    const NativeString& program, const std::vector<NativeString>& arguments,
    const NativeString& log_path, std::string_view step);
OutputChild spawn_logged_with_output_pipe(
    const NativeString& program, const std::vector<NativeString>& arguments,
    const NativeString& log_path, std::string_view step);

// Whole seconds from the file's last change to now by this machine's
// clock; 0 for a change that the clock puts in the future; nothing when the
// file is gone (as another process's temporary may be at any moment).
std::optional<std::uint64_t> seconds_since_modified(const NativeString& path,
                                                    std::string_view step);

// Opens a file for writing at its end, created when missing.
OpenFile open_file_for_appending(const NativeString& path,
                                 std::string_view step);

// Processors this machine offers the program; at least 1.
unsigned processor_count();

// --- What glyphreel-import needs besides to read rips: reads that start at
// a place in a file.

// Moves the place the next read_from_file starts at to `offset` bytes from
// the file's start.
void seek_file(OpenFile& file, std::uint64_t offset, std::string_view step);

}  // namespace glyphreel::platform
