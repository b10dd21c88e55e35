#include "encoder/literal_path.hpp"

#include <algorithm>

namespace glyphreel {

namespace {

enum class PathForm { Posix, Windows };

// ASCII only: a letter elsewhere in Unicode never makes a protocol name.
template <typename Char>
bool is_ascii_letter(Char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

template <typename Char>
bool is_scheme_character(Char c) {
  return is_ascii_letter(c) || (c >= '0' && c <= '9') || c == '+' || c == '-' ||
         c == '.';
}

template <typename Char>
bool is_absolute(std::basic_string_view<Char> path, PathForm form) {
  if (path.empty()) return false;
  return path.front() == '/' ||
         (form == PathForm::Windows && path.front() == '\\');
}

// True when the encoder would take the path for its standard stream or for
// a URL.
template <typename Char>
bool read_as_something_else(std::basic_string_view<Char> path, PathForm form) {
  if (is_absolute(path, form)) return false;
  if (path.size() == 1 && path.front() == '-') return true;
  const std::size_t colon = path.find(Char{':'});
  if (colon == std::basic_string_view<Char>::npos) return false;
  const std::basic_string_view<Char> scheme = path.substr(0, colon);
  if (form == PathForm::Windows && scheme.size() == 1 &&
      is_ascii_letter(scheme.front())) {
    return false;
  }
  return std::all_of(scheme.begin(), scheme.end(), is_scheme_character<Char>);
}

template <typename Char>
std::basic_string<Char> literal(std::basic_string_view<Char> path,
                                PathForm form) {
  std::basic_string<Char> argument;
  if (read_as_something_else(path, form)) {
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
