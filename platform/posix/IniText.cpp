#include "platform/posix/IniText.h"

#include <utility>

namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

std::string_view Trim(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

char FoldCase(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (FoldCase(a[i]) != FoldCase(b[i])) return false;
  }
  return true;
}

struct Line {
  enum Kind { kBlank, kSection, kKey } kind = kBlank;
  std::string_view name;
  std::optional<std::string_view> value;
};

// Editors on Windows start UTF-8 files with a byte-order mark; it is not part of the first line.
Line Parse(std::string_view raw, bool firstLine) {
  if (firstLine && raw.starts_with(kUtf8Bom)) raw.remove_prefix(kUtf8Bom.size());
  const std::string_view t = Trim(raw);
  Line line;
  if (t.empty()) return line;
  if (t.front() == '[') {
    const std::size_t close = t.find(']');
    // Without its bracket the line is an ordinary key line.
    if (close != std::string_view::npos) {
      line.kind = Line::kSection;
      line.name = Trim(t.substr(1, close - 1));
      return line;
    }
  }
  line.kind = Line::kKey;
  const std::size_t eq = t.find('=');
  if (eq == std::string_view::npos) {
    line.name = t;
  } else {
    line.name = Trim(t.substr(0, eq));
    line.value = Trim(t.substr(eq + 1));
  }
  return line;
}

std::string KeyLine(std::string_view key, std::string_view value) {
  std::string line(key);
  line += '=';
  line += value;
  return line;
}

}  // namespace

IniText::IniText(std::string_view text) {
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    const bool terminated = end != std::string_view::npos;
    if (!terminated) end = text.size();
    std::string_view line = text.substr(start, end - start);
    if (terminated && line.ends_with('\r')) {
      line.remove_suffix(1);
      if (mLines.empty()) mCrLf = true;
    }
    mLines.emplace_back(line);
    start = end + 1;
  }
}

std::optional<IniText::Range> IniText::FindSection(std::string_view section) const {
  for (std::size_t i = 0; i < mLines.size(); ++i) {
    const Line line = Parse(mLines[i], i == 0);
    if (line.kind != Line::kSection || !EqualsIgnoreCase(line.name, section)) continue;
    std::size_t end = i + 1;
    while (end < mLines.size() && Parse(mLines[end], false).kind != Line::kSection) ++end;
    return Range{i, end};
  }
  return std::nullopt;
}

std::optional<std::size_t> IniText::FindKey(const Range& range, std::string_view key) const {
  for (std::size_t i = range.header + 1; i < range.end; ++i) {
    const Line line = Parse(mLines[i], false);
    if (line.kind == Line::kKey && EqualsIgnoreCase(line.name, key)) return i;
  }
  return std::nullopt;
}

std::size_t IniText::ContentEnd(const Range& range) const {
  std::size_t end = range.end;
  while (end > range.header + 1 && Parse(mLines[end - 1], false).kind == Line::kBlank) --end;
  return end;
}

std::optional<std::string_view> IniText::Find(std::string_view text, std::string_view section,
                                              std::string_view key) {
  bool inSection = false;
  for (std::size_t start = 0; start < text.size();) {
    std::size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    // A "\r" ending the line is a blank to the parser.
    const Line line = Parse(text.substr(start, end - start), start == 0);
    if (line.kind == Line::kSection) {
      if (inSection) return std::nullopt;
      inSection = EqualsIgnoreCase(line.name, section);
    } else if (inSection && line.kind == Line::kKey && EqualsIgnoreCase(line.name, key)) {
      return line.value;
    }
    start = end + 1;
  }
  return std::nullopt;
}

void IniText::AppendSection(std::string_view section, const std::vector<std::string>& lines) {
  if (!mLines.empty() && Parse(mLines.back(), mLines.size() == 1).kind != Line::kBlank) {
    mLines.emplace_back();
  }
  std::string header(1, '[');
  header += section;
  header += ']';
  mLines.push_back(std::move(header));
  mLines.insert(mLines.end(), lines.begin(), lines.end());
}

void IniText::SetKey(std::string_view section, std::string_view key, std::string_view value) {
  const std::optional<Range> range = FindSection(section);
  if (!range) {
    AppendSection(section, {KeyLine(key, value)});
    return;
  }
  if (const std::optional<std::size_t> at = FindKey(*range, key)) {
    mLines[*at] = KeyLine(key, value);
    return;
  }
  mLines.insert(mLines.begin() + static_cast<std::ptrdiff_t>(ContentEnd(*range)),
                KeyLine(key, value));
}

void IniText::RemoveKey(std::string_view section, std::string_view key) {
  const std::optional<Range> range = FindSection(section);
  if (!range) return;
  if (const std::optional<std::size_t> at = FindKey(*range, key)) {
    mLines.erase(mLines.begin() + static_cast<std::ptrdiff_t>(*at));
  }
}

void IniText::RemoveSection(std::string_view section) {
  const std::optional<Range> range = FindSection(section);
  if (!range) return;
  mLines.erase(mLines.begin() + static_cast<std::ptrdiff_t>(range->header),
               mLines.begin() + static_cast<std::ptrdiff_t>(range->end));
}

void IniText::ReplaceSection(std::string_view section, const std::vector<std::string_view>& lines) {
  const std::vector<std::string> owned(lines.begin(), lines.end());
  const std::optional<Range> range = FindSection(section);
  if (!range) {
    AppendSection(section, owned);
    return;
  }
  const auto first = mLines.begin() + static_cast<std::ptrdiff_t>(range->header + 1);
  mLines.erase(first, mLines.begin() + static_cast<std::ptrdiff_t>(ContentEnd(*range)));
  mLines.insert(mLines.begin() + static_cast<std::ptrdiff_t>(range->header + 1), owned.begin(),
                owned.end());
}

std::string IniText::Text() const {
  const std::string_view eol = mCrLf ? "\r\n" : "\n";
  std::string text;
  for (const std::string& line : mLines) {
    text += line;
    text += eol;
  }
  return text;
}
