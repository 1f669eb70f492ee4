// What every pclog command takes, whoever wrote it: --trace FILE (every byte
// on the wire, "-" for stderr) and --json (the command's summary as one JSON
// object on stdout). They are options of the app, given before or after the
// subcommand; a command adds its own summary fields with Field().
#pragma once
#include <CLI/CLI.hpp>
#include <concepts>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>

#include "platform/env.h"
#include "platform/trace.h"

namespace pclog {

// `text` as a JSON string, quotes included.
std::string JsonString(std::string_view text);

inline std::string JsonValue(bool v) { return v ? "true" : "false"; }
template <std::integral T>
requires(!std::same_as<T, bool>) std::string JsonValue(T v) { return std::to_string(v); }
inline std::string JsonValue(double v) {
  char text[32];
  std::snprintf(text, sizeof text, "%.3f", v);
  return text;
}
inline std::string JsonValue(std::string_view v) { return JsonString(v); }
inline std::string JsonValue(const char* v) { return JsonString(v ? v : ""); }
inline std::string JsonValue(const std::string& v) { return JsonString(v); }

// Adds `key` with its value, already JSON, to the summary of the running
// command; nothing without --json.
void AddJsonField(std::string_view key, std::string json);

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
