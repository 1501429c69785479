#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// A private-profile file held as its lines, so that a write changes only the lines it must and
// keeps every other one byte for byte: the file is the user's, comments and odd lines included.
// Any text is accepted; lines are split at "\n" (a "\r" before it belongs to the line ending).
class IniText {
 public:
  explicit IniText(std::string_view text);

  // The raw value of key in the first section named section in text (letter case ignored):
  // blanks trimmed, quotes kept. nullopt for a missing section or key or a key line without "=".
  // Reads the text in place, without building an IniText.
  static std::optional<std::string_view> Find(std::string_view text, std::string_view section,
                                              std::string_view key);

  void SetKey(std::string_view section, std::string_view key, std::string_view value);
  void RemoveKey(std::string_view section, std::string_view key);
  void RemoveSection(std::string_view section);
  // Replaces the section's lines, keeping the blank lines that separate it from the next one.
  void ReplaceSection(std::string_view section, const std::vector<std::string_view>& lines);

  // Every line followed by the file's line ending ("\r\n" when its first line ended so).
  std::string Text() const;

 private:
  struct Range {
    std::size_t header;  // index of the section line
    std::size_t end;     // one past its last line, blank lines included
  };
  std::optional<Range> FindSection(std::string_view section) const;
  std::optional<std::size_t> FindKey(const Range& range, std::string_view key) const;
  // One past the last non-blank line of the section.
  std::size_t ContentEnd(const Range& range) const;
  void AppendSection(std::string_view section, const std::vector<std::string>& lines);

  std::vector<std::string> mLines;
  bool mCrLf = false;
};
