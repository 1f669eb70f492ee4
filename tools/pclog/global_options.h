// What every pclog command takes, whoever wrote it: --trace FILE (every byte
// on the wire, "-" for stderr) and --json (the command's summary as one JSON
// object on stdout). They are options of the app, given before or after the
// subcommand; a command adds its own summary fields with Field().
#pragma once
#include <CLI/CLI.hpp>
#include <cmath>
#include <concepts>
#include <cstdio>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <string_view>

#include "platform/env.h"
#include "platform/trace.h"

namespace pclog {

using Json = nlohmann::ordered_json;

// `value` as compact JSON; bytes that are not UTF-8 (a name in the
// terminal's code page) are shown as U+FFFD rather than written as invalid
// JSON.
std::string JsonText(const Json& value);
// `text` as a JSON string, quotes included.
inline std::string JsonString(std::string_view text) { return JsonText(std::string(text)); }

template <class T>
Json JsonValue(const T& v) {
  return Json(v);
}
// Seconds to the millisecond.
inline Json JsonValue(double v) { return std::round(v * 1000) / 1000; }
inline Json JsonValue(const char* v) { return Json(v ? v : ""); }

// Adds `key` with its value to the summary of the running command; nothing
// without --json.
void AddJsonField(std::string_view key, Json value);

template <class T>
void Field(std::string_view key, const T& value) {
  AddJsonField(key, JsonValue(value));
}

class GlobalOptions {
 public:
  // Call before the subcommands are added: they inherit the fall-through
  // that lets the global options follow the subcommand.
  GlobalOptions(CLI::App& app, wpl::Env& env);
  // Parses and runs the command; returns the exit status. With --json the
  // command's output lines and fields are printed as one JSON object.
  int Run(int argc, char** argv);

 private:
  void Start();
  CLI::App& app_;
  wpl::Env& env_;
  std::string traceFile_;
  bool json_ = false;
  std::unique_ptr<wpl::WireTrace> trace_;
};

}  // namespace pclog
