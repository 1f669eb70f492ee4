#include "global_options.h"

#include <unistd.h>

#include <mutex>
#include <vector>

namespace pclog {
namespace {

std::mutex fieldsMutex;
bool collecting = false;
std::vector<std::pair<std::string, Json>> fields;

// Stdout of the command, gathered in a temporary file while it runs: every
// command's lines end up in its JSON object, including commands that print
// with plain printf.
class StdoutCapture {
 public:
  StdoutCapture() {
    std::fflush(stdout);
    file_ = std::tmpfile();
    saved_ = ::dup(STDOUT_FILENO);
    if (!file_ || saved_ < 0 || ::dup2(::fileno(file_), STDOUT_FILENO) < 0) Stop();
  }
  ~StdoutCapture() {
    Stop();
    if (file_) std::fclose(file_);
  }
  // Restores stdout and gives the lines printed meanwhile.
  std::vector<std::string> Lines() {
    Stop();
    std::vector<std::string> lines;
    if (!file_) return lines;
    std::rewind(file_);
    std::string line;
    for (int c; (c = std::fgetc(file_)) != EOF;) {
      if (c == '\n') {
        lines.push_back(std::move(line));
        line.clear();
      } else {
        line += static_cast<char>(c);
      }
    }
    if (!line.empty()) lines.push_back(std::move(line));
    return lines;
  }

 private:
  void Stop() {
    if (saved_ < 0) return;
    std::fflush(stdout);
    ::dup2(saved_, STDOUT_FILENO);
    ::close(saved_);
    saved_ = -1;
  }
  std::FILE* file_ = nullptr;
  int saved_ = -1;
};

std::unique_ptr<StdoutCapture> capture;

}  // namespace

std::string JsonText(const Json& value) {
  return value.dump(-1, ' ', false, Json::error_handler_t::replace);
}

void AddJsonField(std::string_view key, Json value) {
  std::lock_guard lock(fieldsMutex);
  if (collecting) fields.emplace_back(key, std::move(value));
}

GlobalOptions::GlobalOptions(CLI::App& app, wpl::Env& env) : app_(app), env_(env) {
  app.fallthrough();
  app.add_option("--trace", traceFile_,
                 "Write every byte sent and received to FILE (- for stderr), with times, "
                 "ports and line settings");
  app.add_flag("--json", json_, "Print the command's summary as one JSON object");
  app.parse_complete_callback([this] { Start(); });
}

void GlobalOptions::Start() {
  if (!traceFile_.empty()) {
    auto log = wpl::TraceLog::Open(traceFile_, false, *env_.clock);
    if (!log) throw CLI::ValidationError("--trace", "cannot write " + traceFile_);
    trace_ = std::make_unique<wpl::WireTrace>(std::move(log), *env_.serial, *env_.sockets);
    trace_->Apply(env_);
  }
  if (json_) {
    std::lock_guard lock(fieldsMutex);
    collecting = true;
    capture = std::make_unique<StdoutCapture>();
  }
}

int GlobalOptions::Run(int argc, char** argv) {
  int code = 0;
  std::string error;
  try {
    app_.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    if (!dynamic_cast<const CLI::RuntimeError*>(&e)) error = e.what();
    code = app_.exit(e);
  }
  if (!capture) return code;
  const std::vector<std::string> lines = capture->Lines();
  capture.reset();
  const auto used = app_.get_subcommands();
  Json summary = {{"command", used.empty() ? "" : used.front()->get_name()}, {"result", code}};
  if (!error.empty()) summary["error"] = error;
  {
    std::lock_guard lock(fieldsMutex);
    for (const auto& [key, value] : fields) summary[key] = value;
    collecting = false;
  }
  summary["lines"] = lines;
  const std::string json = JsonText(summary) + "\n";
  if (std::fputs(json.c_str(), stdout) < 0 || std::fflush(stdout) != 0) return code ? code : 1;
  return code;
}

}  // namespace pclog
