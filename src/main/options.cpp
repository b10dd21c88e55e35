#include "main/options.hpp"

#include "base/version.hpp"

namespace glyphreel {

namespace {

bool is_long_option(const NativeString& argument) {
  return argument.size() >= 2 && argument[0] == '-' && argument[1] == '-';
}

// The single-dash option that `text` starts with, if the command has one.
const OptionKind* short_option(const std::optional<std::string>& text,
                               std::initializer_list<OptionKind> accepted) {
  if (!text) return nullptr;
  for (const OptionKind& option : accepted) {
    if (!option.name.starts_with("--") && text->starts_with(option.name)) {
      return &option;
    }
  }
  return nullptr;
}

}  // namespace

std::string version_line(std::string_view program) {
  return std::string(program) + " " + std::string(version);
}

std::string help_text(std::string_view usage, std::string_view program) {
  return std::string(usage) + version_line(program) +
         ", free software under the MIT licence\n";
}

std::optional<ScannedOptions> scan_options(
    std::span<const NativeString> arguments,
    std::initializer_list<OptionKind> accepted) {
  ScannedOptions scanned;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::optional<std::string> text =
        platform::argument_text(arguments[i]);
    const OptionKind* known = nullptr;
    NativeString value;
    bool value_given = false;
    if (is_long_option(arguments[i])) {
      for (const OptionKind& option : accepted) {
        if (text == option.name) known = &option;
      }
      if (known == nullptr) return std::nullopt;
    } else if ((known = short_option(text, accepted)) != nullptr) {
      // "-j4": the value joined to the letter.
      if (text->size() > known->name.size()) {
        if (!known->takes_value) return std::nullopt;
        value = arguments[i].substr(known->name.size());
        value_given = true;
      }
    } else {
      scanned.positionals.push_back(arguments[i]);
      continue;
    }
    if (scanned.has(*known)) return std::nullopt;
    if (known->takes_value && !value_given) {
      if (++i == arguments.size()) return std::nullopt;
      value = arguments[i];
    }
    scanned.options.emplace(known->name, value);
  }
  return scanned;
}

}  // namespace glyphreel
