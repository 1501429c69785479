#include "tools/FactoryDefinition.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <initializer_list>
#include <optional>

#include "engine/ParameterTable.h"
#include "framework/IParameter.h"

namespace factorybank {

namespace {

constexpr char kHit = 'O';
constexpr char kRest = '-';
constexpr int kMidiA4 = 69;
constexpr double kFrequencyA4 = 440.0;

// The parameter records as the engine defines them: names, ranges, types and display texts.
const std::array<IParameter, kNumParams>& ParameterTable() {
  static const std::array<IParameter, kNumParams> table = [] {
    std::array<IParameter, kNumParams> params;
    for (int i = 0; i < kNumParams; ++i) InitParameterFromTable(params[i], i);
    return params;
  }();
  return table;
}

// Messages are joined piece by piece; GCC 12 misreads literal + std::string chains (-Wrestrict).
std::string Join(std::initializer_list<std::string_view> pieces) {
  std::string text;
  for (std::string_view piece : pieces) text.append(piece);
  return text;
}

std::string_view Trim(std::string_view s) {
  const auto first = s.find_first_not_of(" \t\r");
  if (first == std::string_view::npos) return {};
  const auto last = s.find_last_not_of(" \t\r");
  return s.substr(first, last - first + 1);
}

bool StartsWithWord(std::string_view line, std::string_view word, std::string_view* rest) {
  if (line.substr(0, word.size()) != word) return false;
  if (line.size() > word.size() && line[word.size()] != ' ' && line[word.size()] != '\t') {
    return false;
  }
  *rest = Trim(line.substr(word.size()));
  return true;
}

std::optional<double> ParseNumber(std::string_view text) {
  double value = 0.0;
  // from_chars ignores the locale, so a definition reads the same everywhere.
  const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
  if (result.ec != std::errc() || result.ptr != text.data() + text.size()) return std::nullopt;
  if (!std::isfinite(value)) return std::nullopt;
  return value;
}

std::optional<int> ParseInteger(std::string_view text) {
  int value = 0;
  const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
  if (result.ec != std::errc() || result.ptr != text.data() + text.size()) return std::nullopt;
  return value;
}

int FindInstrument(std::string_view name) {
  for (int k = 0; k < kNumInstruments; ++k) {
    if (name == kInstrumentParamWords[k]) return k;
  }
  return -1;
}

// Reads `<number> "<name>"` or, for a range, `<first>-<last> "<name>"`.
bool ParseProgramHeader(std::string_view rest, bool range, int* first, int* last, std::string* name,
                        std::string* error) {
  const auto quote = rest.find('"');
  if (quote == std::string_view::npos || rest.size() < quote + 2 || rest.back() != '"') {
    *error = "the program name must follow in double quotes";
    return false;
  }
  *name = std::string(rest.substr(quote + 1, rest.size() - quote - 2));
  if (name->empty() || name->find('"') != std::string::npos) {
    *error = "a program name is not empty and holds no double quote";
    return false;
  }
  const std::string_view numbers = Trim(rest.substr(0, quote));
  std::optional<int> a;
  std::optional<int> b;
  if (range) {
    const auto dash = numbers.find('-');
    if (dash != std::string_view::npos) {
      a = ParseInteger(Trim(numbers.substr(0, dash)));
      b = ParseInteger(Trim(numbers.substr(dash + 1)));
    }
  } else {
    a = b = ParseInteger(numbers);
  }
  if (!a || !b || *a < 0 || *b >= kNumPrograms || *a > *b) {
    *error = range ? "expected a program range such as 36-63" : "expected a program number 0..63";
    return false;
  }
  *first = *a;
  *last = *b;
  return true;
}

bool ParseParameterValue(const IParameter& param, std::string_view text, double* value,
                         std::string* error) {
  const std::string name = param.Name();
  if (!param.DisplayTexts().empty()) {
    const std::string word(text);
    if (param.MapDisplayText(word.c_str(), value)) return true;
  }
  std::optional<double> number = ParseNumber(text);
  double hz = 0.0;
  if (!number && name.find("Frequency") != std::string::npos && NoteFrequency(text, &hz)) {
    number = hz;
  }
  if (!number) {
    *error = Join({"\"", text, "\" is no value for ", name});
    return false;
  }
  if (*number < param.Min() || *number > param.Max()) {
    *error = Join({name, " = ", text, " lies outside its range"});
    return false;
  }
  if (param.Type() != ParamTypeDouble && *number != std::floor(*number)) {
    *error = Join({name, " takes whole numbers"});
    return false;
  }
  *value = *number;
  return true;
}

// route <Instrument> = sum | <k> | sum + <k>
bool ParseRouting(std::string_view rest, RoutingDefinition* routing, std::string* error) {
  const auto equals = rest.find('=');
  if (equals == std::string_view::npos) {
    *error = "expected route <instrument> = sum, <output> or sum + <output>";
    return false;
  }
  routing->voice = FindInstrument(Trim(rest.substr(0, equals)));
  if (routing->voice < 0) {
    *error = Join({"unknown instrument \"", Trim(rest.substr(0, equals)), "\""});
    return false;
  }
  std::string_view target = Trim(rest.substr(equals + 1));
  routing->toSum = false;
  routing->extraOutput = 0;
  if (StartsWithWord(target, "sum", &target)) {
    routing->toSum = true;
    if (target.empty()) return true;
    if (target.front() != '+') {
      *error = "expected sum + <output>";
      return false;
    }
    target = Trim(target.substr(1));
  }
  const std::optional<int> output = ParseInteger(target);
  if (!output || *output < 1 || *output > 7) {
    *error = "extra outputs are numbered 1..7";
    return false;
  }
  routing->extraOutput = *output;
  return true;
}

// What the next line inside a slot must be: the triplet flag, the active steps, then the rows in
// instrument order.
enum class SlotLine { Triplet, Steps, Row };

class Parser {
 public:
  Parser(FactoryDefinition* definition, std::string* error)
      : mDefinition(definition), mError(error) {}

  bool Line(std::string_view line, int number) {
    mLineNumber = number;
    if (mSlot) return SlotContent(line);
    std::string_view rest;
    if (StartsWithWord(line, "programs", &rest)) return Program(rest, true);
    if (StartsWithWord(line, "program", &rest)) return Program(rest, false);
    if (mCurrent.empty()) return Fail("expected a program header first");
    if (StartsWithWord(line, "slot", &rest)) return Slot(rest);
    if (StartsWithWord(line, "route", &rest)) {
      RoutingDefinition routing;
      std::string message;
      if (!ParseRouting(rest, &routing, &message)) return Fail(message);
      for (int p : mCurrent) mDefinition->programs[p].routing.push_back(routing);
      return true;
    }
    return Parameter(line);
  }

  bool Finish() {
    if (mSlot) return Fail("the slot ends before all fifteen rows");
    for (int p = 0; p < kNumPrograms; ++p) {
      if (!mDefined[p]) {
        mLineNumber = 0;
        return Fail(Join({"program ", std::to_string(p), " is not defined"}));
      }
    }
    return true;
  }

 private:
  bool Fail(const std::string& message) {
    *mError =
        mLineNumber > 0 ? Join({"line ", std::to_string(mLineNumber), ": ", message}) : message;
    return false;
  }

  bool Program(std::string_view rest, bool range) {
    int first = 0;
    int last = 0;
    std::string name;
    std::string message;
    if (!ParseProgramHeader(rest, range, &first, &last, &name, &message)) return Fail(message);
    mCurrent.clear();
    for (int p = first; p <= last; ++p) {
      if (mDefined[p]) return Fail(Join({"program ", std::to_string(p), " is defined twice"}));
      mDefined[p] = true;
      ProgramDefinition& program = mDefinition->programs[p];
      program = ProgramDefinition{};
      program.name = name;
      program.line = mLineNumber;
      mCurrent.push_back(p);
    }
    return true;
  }

  bool Parameter(std::string_view line) {
    const auto equals = line.find('=');
    if (equals == std::string_view::npos) return Fail("expected <parameter> = <value>");
    const std::string_view name = Trim(line.substr(0, equals));
    const int index = FindParameter(name);
    if (index < 0) return Fail(Join({"unknown parameter \"", name, "\""}));
    ParameterSetting setting;
    setting.index = index;
    std::string message;
    if (!ParseParameterValue(ParameterTable()[index], Trim(line.substr(equals + 1)), &setting.value,
                             &message)) {
      return Fail(message);
    }
    for (int p : mCurrent) mDefinition->programs[p].parameters.push_back(setting);
    return true;
  }

  bool Slot(std::string_view rest) {
    const std::optional<int> slot = ParseInteger(rest);
    if (!slot || *slot < 0 || *slot >= kNumRhythmSlots) return Fail("slots are numbered 0..19");
    for (int p : mCurrent) {
      for (const SlotDefinition& other : mDefinition->programs[p].slots) {
        if (other.slot == *slot)
          return Fail(Join({"slot ", std::to_string(*slot), " given twice"}));
      }
    }
    mSlot.emplace();
    mSlot->slot = *slot;
    mSlotLine = SlotLine::Triplet;
    mRow = 0;
    return true;
  }

  bool SlotContent(std::string_view line) {
    std::string_view rest;
    switch (mSlotLine) {
      case SlotLine::Triplet:
        if (!StartsWithWord(line, "triplet", &rest) || (rest != "yes" && rest != "no")) {
          return Fail("a slot opens with: triplet yes|no");
        }
        mSlot->triplet = rest == "yes" ? 1 : 0;
        mSlotLine = SlotLine::Steps;
        return true;
      case SlotLine::Steps:
        if (!StartsWithWord(line, "steps", &rest) || !ParseRow(rest, &mSlot->active)) {
          return Fail("expected: steps <64 characters of O and ->");
        }
        // The sequencer always plays step 0; a definition saying otherwise would mislead.
        if (!mSlot->active[0]) return Fail("step 0 is always active");
        mSlotLine = SlotLine::Row;
        return true;
      case SlotLine::Row: {
        const char* instrument = kInstrumentParamWords[mRow];
        if (!StartsWithWord(line, instrument, &rest)) {
          return Fail(Join({"expected the row of ", instrument}));
        }
        if (!ParseRow(rest, &mSlot->grid[static_cast<std::size_t>(mRow)])) {
          return Fail(Join({"the row of ", instrument, " needs 64 characters of O and -"}));
        }
        if (++mRow == kNumInstruments) {
          for (int p : mCurrent) mDefinition->programs[p].slots.push_back(*mSlot);
          mSlot.reset();
        }
        return true;
      }
    }
    return false;
  }

  FactoryDefinition* mDefinition;
  std::string* mError;
  int mLineNumber = 0;
  std::array<bool, kNumPrograms> mDefined{};
  std::vector<int> mCurrent;
  std::optional<SlotDefinition> mSlot;
  SlotLine mSlotLine = SlotLine::Triplet;
  int mRow = 0;
};

}  // namespace

int FindParameter(std::string_view name) {
  for (int i = 0; i < kReservedFirst; ++i) {
    if (name == ParameterTable()[i].Name()) return i;
  }
  return -1;
}

bool NoteFrequency(std::string_view text, double* hz) {
  static constexpr int kSemitones[7] = {9, 11, 0, 2, 4, 5, 7};  // A B C D E F G from C
  if (text.size() < 2 || text[0] < 'A' || text[0] > 'G') return false;
  int semitone = kSemitones[text[0] - 'A'];
  std::size_t i = 1;
  for (; i < text.size() && (text[i] == '#' || text[i] == 'b'); ++i) {
    semitone += text[i] == '#' ? 1 : -1;
  }
  const std::optional<int> octave = ParseInteger(text.substr(i));
  if (!octave || *octave < -1 || *octave > 10) return false;
  const int midi = (*octave + 1) * 12 + semitone;
  *hz = kFrequencyA4 * std::pow(2.0, (midi - kMidiA4) / 12.0);
  return true;
}

bool ParseRow(std::string_view text, std::array<std::uint8_t, kNumSteps>* row) {
  if (text.size() != kNumSteps) return false;
  for (int s = 0; s < kNumSteps; ++s) {
    const char c = text[static_cast<std::size_t>(s)];
    if (c != kHit && c != kRest) return false;
    (*row)[static_cast<std::size_t>(s)] = c == kHit ? 1 : 0;
  }
  return true;
}

std::string FormatRow(const std::uint8_t* row) {
  std::string text(kNumSteps, kRest);
  for (int s = 0; s < kNumSteps; ++s) {
    if (row[s]) text[static_cast<std::size_t>(s)] = kHit;
  }
  return text;
}

bool ParseFactoryDefinition(std::string_view text, FactoryDefinition* definition,
                            std::string* error) {
  Parser parser(definition, error);
  int number = 0;
  while (!text.empty()) {
    const auto end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
    ++number;
    line = Trim(line);
    // Comments take whole lines: '#' also spells sharp notes such as F#3.
    if (line.empty() || line.front() == '#') continue;
    if (!parser.Line(line, number)) return false;
  }
  return parser.Finish();
}

}  // namespace factorybank
