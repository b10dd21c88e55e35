// A stand-in for the encoder in Windows tests. It records what it was given
// in the folder named by FAKE_ENCODER_DIR:
//   arguments.txt        argv as the C runtime split the command line
//   shell-arguments.txt  the same command line split by CommandLineToArgvW
//   stdin.bin            every byte of its standard input
//   input.bin            a copy of the file after the last "-i", if any
// Each argument is written as its UTF-8 length in decimal, a blank, the
// UTF-8 bytes and a line feed. It prints one line to standard output and one
// to standard error, so callers can see that both were passed on.
//
// Asked to write to its standard output (a last argument "-"), as
// glyphreel-library asks for the audio's samples, it copies the file after
// the last "-i" there instead and records nothing.
//
// FAKE_ENCODER_PER_OUTPUT=1   records into a folder of FAKE_ENCODER_DIR named
//                             after the file name of the last argument, so
//                             that encoders running at once keep apart
// FAKE_ENCODER_WRITE_OUTPUT=1 also writes its standard input to the file
//                             named by the last argument, as an encoder of
//                             samples that keeps them as they are
// FAKE_ENCODER_EXIT_EARLY=1   exit with status 0 at once, reading nothing
// FAKE_ENCODER_EXIT_CODE=N    read everything, then exit with status N
// FAKE_ENCODER_READ_BYTES=N   read N bytes, close standard input and wait,
//                             without a word, for its parent to end
// FAKE_ENCODER_KILL_AFTER=N   read N bytes, then end at once with status 9
// In the last two, stdin.bin is complete before the input goes away.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>
#include <tlhelp32.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <string>
#include <vector>

namespace {

std::string utf8(const std::wstring& wide) {
  if (wide.empty()) return {};
  const int length = WideCharToMultiByte(CP_UTF8, 0, wide.data(),
                                         static_cast<int>(wide.size()), nullptr,
                                         0, nullptr, nullptr);
  std::string out(static_cast<std::size_t>(length), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()),
                      out.data(), length, nullptr, nullptr);
  return out;
}

std::wstring environment(const wchar_t* name) {
  wchar_t buffer[32768];
  const DWORD length = GetEnvironmentVariableW(name, buffer, 32768);
  if (length == 0 || length >= 32768) return {};
  return std::wstring(buffer, length);
}

[[noreturn]] void die(const char* what) {
  std::fprintf(stderr, "fake encoder: %s failed (error %lu)\n", what,
               GetLastError());
  std::exit(90);
}

HANDLE create(const std::wstring& path) {
  const HANDLE file =
      CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                  FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) die("create a record file");
  return file;
}

void write_all(HANDLE file, const char* data, std::size_t size) {
  while (size > 0) {
    DWORD written = 0;
    if (!WriteFile(file, data, static_cast<DWORD>(size), &written, nullptr) ||
        written == 0) {
      die("write a record file");
    }
    data += written;
    size -= written;
  }
}

void record_arguments(const std::wstring& path,
                      const std::vector<std::wstring>& arguments) {
  std::string text;
  for (const std::wstring& argument : arguments) {
    const std::string bytes = utf8(argument);
    text += std::to_string(bytes.size()) + " " + bytes + "\n";
  }
  const HANDLE file = create(path);
  write_all(file, text.data(), text.size());
  CloseHandle(file);
}

// Copies from `from` to `to` until the end of `from` or `limit` bytes; the
// end of a pipe shows as ERROR_BROKEN_PIPE.
std::size_t copy_all(
    HANDLE from, HANDLE to,
    std::size_t limit = std::numeric_limits<std::size_t>::max()) {
  std::vector<char> buffer(1 << 16);
  std::size_t total = 0;
  while (total < limit) {
    const std::size_t wanted = std::min(buffer.size(), limit - total);
    DWORD got = 0;
    if (!ReadFile(from, buffer.data(), static_cast<DWORD>(wanted), &got,
                  nullptr)) {
      if (GetLastError() == ERROR_BROKEN_PIPE) break;
      die("read");
    }
    if (got == 0) break;
    write_all(to, buffer.data(), got);
    total += got;
  }
  return total;
}

// Waits up to two minutes for the process that started this one to end.
void wait_for_parent() {
  const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) die("CreateToolhelp32Snapshot");
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof(entry);
  DWORD parent = 0;
  for (BOOL more = Process32FirstW(snapshot, &entry); more;
       more = Process32NextW(snapshot, &entry)) {
    if (entry.th32ProcessID == GetCurrentProcessId()) {
      parent = entry.th32ParentProcessID;
      break;
    }
  }
  CloseHandle(snapshot);
  if (parent == 0) die("find the parent process");
  const HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, parent);
  if (process == nullptr) return;  // gone already
  WaitForSingleObject(process, 120000);
  CloseHandle(process);
}

// The file after the last "-i", or an empty name.
std::wstring last_input(int argc, wchar_t** argv) {
  for (int i = argc - 2; i >= 1; --i) {
    if (std::wstring(argv[i]) == L"-i") return argv[i + 1];
  }
  return {};
}

// Copies the last input to standard output, as a decoder would its samples.
int decode(int argc, wchar_t** argv) {
  const HANDLE input =
      CreateFileW(last_input(argc, argv).c_str(), GENERIC_READ, FILE_SHARE_READ,
                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (input == INVALID_HANDLE_VALUE) die("open the input to decode");
  copy_all(input, GetStdHandle(STD_OUTPUT_HANDLE));
  CloseHandle(input);
  return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc >= 2 && std::wstring(argv[argc - 1]) == L"-") {
    return decode(argc, argv);
  }
  std::wstring folder = environment(L"FAKE_ENCODER_DIR");
  if (folder.empty()) {
    std::fprintf(stderr, "fake encoder: FAKE_ENCODER_DIR is not set\n");
    return 91;
  }
  if (environment(L"FAKE_ENCODER_PER_OUTPUT") == L"1") {
    std::wstring output = argv[argc - 1];
    output = output.substr(output.find_last_of(L"\\/") + 1);
    folder += L"\\" + output;
    if (!CreateDirectoryW(folder.c_str(), nullptr)) die("create a folder");
  }

  const std::vector<std::wstring> runtime_arguments(argv, argv + argc);
  record_arguments(folder + L"\\arguments.txt", runtime_arguments);
  int shell_count = 0;
  wchar_t** const shell = CommandLineToArgvW(GetCommandLineW(), &shell_count);
  if (shell == nullptr) die("CommandLineToArgvW");
  record_arguments(folder + L"\\shell-arguments.txt",
                   std::vector<std::wstring>(shell, shell + shell_count));
  LocalFree(shell);

  if (environment(L"FAKE_ENCODER_EXIT_EARLY") == L"1") return 0;

  // The audio file, as it stood while the encoder ran.
  for (int i = argc - 2; i >= 1; --i) {
    if (std::wstring(argv[i]) != L"-i") continue;
    const HANDLE input =
        CreateFileW(argv[i + 1], GENERIC_READ, FILE_SHARE_READ, nullptr,
                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (input != INVALID_HANDLE_VALUE) {
      const HANDLE copy = create(folder + L"\\input.bin");
      copy_all(input, copy);
      CloseHandle(copy);
      CloseHandle(input);
    }
    break;
  }

  const std::wstring read_bytes = environment(L"FAKE_ENCODER_READ_BYTES");
  const std::wstring kill_after = environment(L"FAKE_ENCODER_KILL_AFTER");
  const std::wstring& limit = read_bytes.empty() ? kill_after : read_bytes;
  const HANDLE copy = create(folder + L"\\stdin.bin");
  const std::size_t total =
      copy_all(GetStdHandle(STD_INPUT_HANDLE), copy,
               limit.empty() ? std::numeric_limits<std::size_t>::max()
                             : std::stoull(limit));
  CloseHandle(copy);
  if (environment(L"FAKE_ENCODER_WRITE_OUTPUT") == L"1") {
    CopyFileW((folder + L"\\stdin.bin").c_str(), argv[argc - 1], FALSE);
  }
  if (!kill_after.empty()) TerminateProcess(GetCurrentProcess(), 9);
  if (!read_bytes.empty()) {
    CloseHandle(GetStdHandle(STD_INPUT_HANDLE));
    wait_for_parent();
    return 0;
  }

  // Straight to the handles, without the C runtime's line-end translation.
  const std::string out = "fake encoder: standard output\n";
  write_all(GetStdHandle(STD_OUTPUT_HANDLE), out.data(), out.size());
  const std::string err =
      "fake encoder: read " + std::to_string(total) + " bytes\n";
  write_all(GetStdHandle(STD_ERROR_HANDLE), err.data(), err.size());

  const std::wstring code = environment(L"FAKE_ENCODER_EXIT_CODE");
  return code.empty() ? 0 : std::stoi(code);
}
