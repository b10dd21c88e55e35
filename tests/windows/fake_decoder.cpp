// A stand-in for ffmpeg as the importer's audio decoder in Windows tests.
// It writes the bytes of the file after "-i" to standard output as if they
// were the decoded audio. FAKE_DECODER_EXIT=N makes it write a line to
// standard error and exit with status N instead; FAKE_DECODER_STALL=MS
// makes it wait that many milliseconds after the audio, its output still
// open.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <string>
#include <vector>

namespace {

bool write_all(HANDLE handle, const char* data, DWORD size) {
  while (size > 0) {
    DWORD written = 0;
    if (!WriteFile(handle, data, size, &written, nullptr) || written == 0) {
      return false;
    }
    data += written;
    size -= written;
  }
  return true;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  wchar_t code[16];
  const DWORD length = GetEnvironmentVariableW(L"FAKE_DECODER_EXIT", code, 16);
  if (length > 0 && length < 16) {
    const std::string message = "fake decoder: cannot decode\n";
    write_all(GetStdHandle(STD_ERROR_HANDLE), message.data(),
              static_cast<DWORD>(message.size()));
    return std::stoi(std::wstring(code, length));
  }
  for (int i = 1; i + 1 < argc; ++i) {
    if (std::wstring(argv[i]) != L"-i") continue;
    const HANDLE input =
        CreateFileW(argv[i + 1], GENERIC_READ, FILE_SHARE_READ, nullptr,
                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (input == INVALID_HANDLE_VALUE) return 2;
    std::vector<char> buffer(1 << 16);
    DWORD got = 0;
    while (ReadFile(input, buffer.data(), static_cast<DWORD>(buffer.size()),
                    &got, nullptr) &&
           got > 0) {
      if (!write_all(GetStdHandle(STD_OUTPUT_HANDLE), buffer.data(), got)) {
        return 3;
      }
    }
    CloseHandle(input);
    const DWORD stall =
        GetEnvironmentVariableW(L"FAKE_DECODER_STALL", code, 16);
    if (stall > 0 && stall < 16) Sleep(std::stoul(std::wstring(code, stall)));
    return 0;
  }
  return 64;
}
