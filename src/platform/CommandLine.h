// What the command lines of the program, its tools and its benches share: numbers read whole and
// range-checked, the option that takes one, reading the line, and the two lines a mistake prints.
// CLI11 is slow to compile, so each program includes it in one source only and never here: the
// pieces that use it are templates on its types, made in that one source.
#pragma once

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

// Where a number may lie: from low to high (above low, not at it, with aboveLow), a whole number
// with whole.
struct NumberRange {
  double low;
  double high;
  bool whole = false;
  bool aboveLow = false;
};

// The number that text holds whole (no blank before it, nothing after it), finite and within
// range; nothing otherwise. NaN and the infinities are never taken.
inline std::optional<double> ReadNumber(const std::string& text, const NumberRange& range) {
  if (text.empty() || std::isspace(static_cast<unsigned char>(text[0]))) return std::nullopt;
  char* end = nullptr;
  const double value = std::strtod(text.c_str(), &end);
  if (*end != '\0' || !std::isfinite(value)) return std::nullopt;
  const bool aboveLowest = range.aboveLow ? value > range.low : value >= range.low;
  if (!aboveLowest || value > range.high || (range.whole && value != std::floor(value))) return std::nullopt;
  return value;
}

// "" when text is a number within range, otherwise why not: "1001 is not a whole number from 1
// to 1000".
inline std::string RefuseNumber(const std::string& text, const NumberRange& range) {
  if (ReadNumber(text, range)) return {};
  char limits[96];
  std::snprintf(limits, sizeof limits, range.aboveLow ? " above %.15g and at most %.15g" : " from %.15g to %.15g",
                range.low, range.high);
  return text + " is not a " + (range.whole ? "whole number" : "number") + limits;
}

// Adds to a CLI11 app an option whose value is a number within range, stored into target once
// checked (never through CLI11's own conversion, which reads 010 as octal). what names the value
// when it is missing: "--fps needs a whole number".
template <typename App, typename Number>
auto* AddNumberOption(App& app, const std::string& name, Number& target, NumberRange range, const std::string& what) {
  return app
      .template add_option_function<std::string>(
          name, [&target, range](const std::string& text) { target = static_cast<Number>(*ReadNumber(text, range)); })
      ->check([range](const std::string& text) { return RefuseNumber(text, range); })
      ->type_name(what);
}

// Reads entries 1 to argc - 1 with a CLI11 app that allows extras. False after a mistake, with the
// line that says it in error: CLI11's own words, but a missing value as "--fps needs a whole
// number" (the option's type name) and a long option the app does not know as "unknown option
// --foo". ParseError is CLI11's, named by the source that includes it. The other extras, in their
// order, stay in app.remaining() for the program to read or to pass by.
template <typename ParseError, typename App>
bool ParseCommandLine(App& app, int argc, const char* const* argv, std::string& error) {
  std::vector<std::string> entries;  // CLI11 takes them last first
  for (int i = argc - 1; i >= 1; --i) entries.emplace_back(argv[i] ? argv[i] : "");
  try {
    app.parse(entries);
  } catch (const ParseError& mistake) {
    error = mistake.what();
    if (mistake.get_name() == "ArgumentMismatch") {
      const std::string name = error.substr(0, error.find(':'));
      if (const auto* option = app.get_option_no_throw(name)) error = name + " needs " + option->get_type_name();
    }
    return false;
  }
  for (const std::string& extra : app.remaining()) {
    if (extra.rfind("--", 0) == 0) {
      error = "unknown option " + extra;
      return false;
    }
  }
  return true;
}

// Prints a command-line mistake in two lines, what is wrong and where the help is, and returns
// the exit status for it.
inline int ReportCommandLineMistake(const char* program, const std::string& what) {
  std::fprintf(stderr, "%s: %s\nTry '%s --help' for more information.\n", program, what.c_str(), program);
  return 2;
}
