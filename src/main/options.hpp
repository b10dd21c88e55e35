// The options of a program's command word: positionals and options in any
// order after the command word, as glyphreel-import and glyphreel-library
// take them.
#pragma once

#include <initializer_list>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/platform.hpp"

namespace glyphreel {

using platform::NativeString;

// "<program> 0.2.0": the line that --version prints.
std::string version_line(std::string_view program);

// The usage, then the version and the licence: what --help prints.
std::string help_text(std::string_view usage, std::string_view program);

// An option a command takes: "--name", or a single-dash letter such as
// "-j", which also takes its value joined to it ("-j4").
struct OptionKind {
  std::string_view name;
  bool takes_value;
};

// The arguments after the command word, split into positionals and the
// options the command takes (a flag maps to an empty value).
struct ScannedOptions {
  std::vector<NativeString> positionals;
  std::map<std::string_view, NativeString> options;

  bool has(const OptionKind& option) const {
    return options.contains(option.name);
  }
  // The option's value as text; nothing when it is not Unicode.
  std::optional<std::string> text(const OptionKind& option) const {
    return platform::argument_text(options.at(option.name));
  }
};

// Nothing when an option is unknown to the command, repeated or lacks its
// value. An argument that begins with "--" is always an option; one that
// begins with a single dash is an option when it starts with a single-dash
// option of the command, and a positional otherwise ("-" alone, say).
std::optional<ScannedOptions> scan_options(
    std::span<const NativeString> arguments,
    std::initializer_list<OptionKind> accepted);

}  // namespace glyphreel
