#pragma once

// The registry file in which components record their classes, and the code
// that reads and writes its text. Header-only and needing no symbol of the
// library (only inline code of guid.h), so that a host's loader reads the
// same format without linking the library.
//
// The text:
//   QuillmontRegistry 1
//   # a comment
//   [CLSID/{3290481E-9000-46FA-86FE-80166AD7E696}]
//   @=XEventSNMPTab
//   InprocServer32=/usr/lib/libquillmont.so.8
// A section is a key, a path whose parts are separated by '/'. Each value
// line is name=data; '@' names the key's default value. In data, '\\', '\n',
// '\r' and '\t' stand for a backslash, line feed, carriage return and tab.
// Keys and value names compare without regard to (ASCII) case.

#include <array>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "quillmont/platform/guid.h"
#include "quillmont/rules/text.h"

namespace quillmont::registry {

inline constexpr std::string_view kHeader = "QuillmontRegistry 1";
inline constexpr std::string_view kDefaultValue = "@";

struct Entry {
  // A comment line (kept as written) rather than a value.
  bool comment = false;
  std::string name;
  std::string data;
};

struct Section {
  std::string key;
  std::vector<Entry> entries;

  const Entry* FindValue(std::string_view name) const;
  // Replaces the value of that name, or appends it.
  void SetValue(std::string_view name, std::string data);
};

struct Document {
  // Comments before the first section.
  std::vector<std::string> leadingComments;
  std::vector<Section> sections;

  // The first section with this key.
  const Section* Find(std::string_view key) const;
  const Entry* FindValue(std::string_view key, std::string_view name) const;
  // Removes the key and every key below it; returns how many sections went.
  std::size_t RemoveTree(std::string_view key);
};

// Where parsing stopped: the 1-based line and what was wrong there.
struct ParseError {
  std::size_t line = 0;
  std::string message;
};

using rules::EqualsIgnoringAsciiCase;

// Whether key is ancestor or equal to it (as whole path parts).
inline bool IsKeyOrBelow(std::string_view key, std::string_view ancestor) {
  if (key.size() < ancestor.size()) return false;
  if (!EqualsIgnoringAsciiCase(key.substr(0, ancestor.size()), ancestor)) return false;
  return key.size() == ancestor.size() || key[ancestor.size()] == '/';
}

inline const Entry* Section::FindValue(std::string_view name) const {
  for (const auto& e : entries)
    if (!e.comment && EqualsIgnoringAsciiCase(e.name, name)) return &e;
  return nullptr;
}

inline void Section::SetValue(std::string_view name, std::string data) {
  for (auto& e : entries)
    if (!e.comment && EqualsIgnoringAsciiCase(e.name, name)) {
      e.data = std::move(data);
      return;
    }
  entries.push_back({false, std::string(name), std::move(data)});
}

inline const Section* Document::Find(std::string_view key) const {
  for (const auto& s : sections)
    if (EqualsIgnoringAsciiCase(s.key, key)) return &s;
  return nullptr;
}

inline const Entry* Document::FindValue(std::string_view key, std::string_view name) const {
  const Section* s = Find(key);
  return s ? s->FindValue(name) : nullptr;
}

inline std::size_t Document::RemoveTree(std::string_view key) {
  std::size_t removed = 0;
  for (auto it = sections.begin(); it != sections.end();) {
    if (IsKeyOrBelow(it->key, key)) {
      it = sections.erase(it);
      ++removed;
    } else {
      ++it;
    }
  }
  return removed;
}

inline std::string EscapeData(std::string_view data) {
  std::string out;
  out.reserve(data.size());
  for (char c : data) {
    switch (c) {
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        out += c;
    }
  }
  return out;
}

// Nothing for an unknown or unfinished escape.
inline std::optional<std::string> UnescapeData(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\') {
      out += text[i];
      continue;
    }
    if (++i == text.size()) return std::nullopt;
    switch (text[i]) {
      case '\\':
        out += '\\';
        break;
      case 'n':
        out += '\n';
        break;
      case 'r':
        out += '\r';
        break;
      case 't':
        out += '\t';
        break;
      default:
        return std::nullopt;
    }
  }
  return out;
}

// Parses the whole text into doc. An empty (or blank) text is an empty
// registry. Returns the first fault; doc is then incomplete.
inline std::optional<ParseError> Parse(std::string_view text, Document& doc) {
  doc = Document{};
  if (text.find_first_not_of(" \t\r\n") == std::string_view::npos) return std::nullopt;
  if (text.find('\0') != std::string_view::npos) return ParseError{0, "the file holds binary data"};
  std::size_t lineNo = 0;
  bool headerSeen = false;
  std::size_t pos = 0;
  while (pos < text.size()) {
    std::size_t end = text.find('\n', pos);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(pos, end - pos);
    pos = end + 1;
    ++lineNo;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (!headerSeen) {
      if (line != kHeader) return ParseError{lineNo, "the first line is not \"" + std::string(kHeader) + "\""};
      headerSeen = true;
      continue;
    }
    if (line.find_first_not_of(" \t") == std::string_view::npos) continue;
    if (line.front() == '#' || line.front() == ';') {
      if (doc.sections.empty())
        doc.leadingComments.emplace_back(line);
      else
        doc.sections.back().entries.push_back({true, std::string(line), {}});
      continue;
    }
    if (line.front() == '[') {
      if (line.size() < 3 || line.back() != ']') return ParseError{lineNo, "a key line must be [key]"};
      doc.sections.push_back({std::string(line.substr(1, line.size() - 2)), {}});
      continue;
    }
    const std::size_t eq = line.find('=');
    if (eq == std::string_view::npos || eq == 0) return ParseError{lineNo, "expected [key], name=data or a comment"};
    if (doc.sections.empty()) return ParseError{lineNo, "a value before the first key"};
    auto data = UnescapeData(line.substr(eq + 1));
    if (!data) return ParseError{lineNo, "a bad escape sequence in the data"};
    doc.sections.back().entries.push_back({false, std::string(line.substr(0, eq)), std::move(*data)});
  }
  return std::nullopt;
}

inline std::string Serialize(const Document& doc) {
  std::string out(kHeader);
  out += '\n';
  for (const auto& c : doc.leadingComments) out += c + '\n';
  for (const auto& s : doc.sections) {
    out += "\n[" + s.key + "]\n";
    for (const auto& e : s.entries) {
      if (e.comment)
        out += e.name;
      else
        out += e.name + '=' + EscapeData(e.data);
      out += '\n';
    }
  }
  return out;
}

// The registry file to use: $QUILLMONT_REGISTRY, else
// $XDG_CONFIG_HOME/quillmont/registry (an absolute XDG_CONFIG_HOME only),
// else $HOME/.config/quillmont/registry. Nothing when none of them is set.
inline std::optional<std::string> DefaultRegistryPath() {
  auto env = [](const char* name) -> std::string {
    const char* value = std::getenv(name);
    return value ? value : "";
  };
  if (std::string path = env("QUILLMONT_REGISTRY"); !path.empty()) return path;
  if (std::string config = env("XDG_CONFIG_HOME"); !config.empty() && config.front() == '/')
    return config + "/quillmont/registry";
  if (std::string home = env("HOME"); !home.empty()) return home + "/.config/quillmont/registry";
  return std::nullopt;
}

// Identities as the registry writes them: upper-case, braced.
inline std::string FormatGuid(const std::array<std::uint8_t, 16>& bytes) { return FormatGuidBytes(bytes); }

// Braced or bare, either case; nothing for anything else.
inline std::optional<std::array<std::uint8_t, 16>> ParseGuid(std::string_view text) { return ParseGuidBytes(text); }

}  // namespace quillmont::registry
