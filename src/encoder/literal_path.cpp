#include "encoder/literal_path.hpp"

namespace glyphreel {

namespace {

enum class PathForm { Posix, Windows };

// ASCII only: a letter elsewhere in Unicode never makes a drive.
template <typename Char>
bool is_ascii_letter(Char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// True when the encoder reads the path as a file whatever follows: an
// absolute path, or on Windows one that names its drive.
template <typename Char>
bool read_as_a_file(std::basic_string_view<Char> path, PathForm form) {
  if (path.front() == '/') return true;
  if (form == PathForm::Posix) return false;
  return path.front() == '\\' ||
         (path.size() >= 2 && is_ascii_letter(path[0]) && path[1] == ':');
}

template <typename Char>
std::basic_string<Char> literal(std::basic_string_view<Char> path,
                                PathForm form) {
  std::basic_string<Char> argument;
  if (!path.empty() && !read_as_a_file(path, form)) {
    argument = {Char{'.'}, form == PathForm::Windows ? Char{'\\'} : Char{'/'}};
  }
  argument += path;
  return argument;
}

}  // namespace

std::string literal_path_argument(std::string_view path) {
  return literal(path, PathForm::Posix);
}

std::wstring literal_path_argument(std::wstring_view path) {
  return literal(path, PathForm::Windows);
}

}  // namespace glyphreel
