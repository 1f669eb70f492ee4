#include "module_options.h"

#include <stdexcept>

namespace wpl::sim {

void AddModuleOptions(CLI::App& app, ModuleOptions& o) {
  app.add_flag("--module", o.bare,
               "A bare fingerprint module on the line at 9600 baud, with no terminal in front");
  app.add_option("--templates", o.templates,
                 "Fingerprint templates to generate (users 1, 1, 2, 2, ..., template numbers 1 "
                 "and 2)");
  app.add_option("--template-seed", o.seed, "Seed of the generated templates");
  app.add_option("--template-dir", o.folder,
                 "Load the templates of a folder: IDLIST.TXT and its FPnnnn_k.TXT files");
  app.add_option("--save-templates", o.saveFolder,
                 "On exit, write the templates the module holds to this folder, in the same "
                 "layout");
  app.add_option("--module-version", o.version, "The module's version byte")
      ->check(CLI::Range(0, 255));
  app.add_option("--fp-fault", o.faults,
                 "A fault of the fingerprint pass-through: no-second-ack, silent, short-data, "
                 "oversize, wrong-marker, status=N");
}

void ApplyModuleOptions(const ModuleOptions& o, TerminalConfig& config) {
  config.moduleOnly = o.bare;
  config.module.version = static_cast<uint8_t>(o.version);
  ModuleFaults& f = config.module.faults;
  const std::string kStatus = "status=";
  for (const std::string& fault : o.faults) {
    if (fault == "no-second-ack") {
      config.commandFaults[0x12].block = {AckFault::kSilent};
    } else if (fault == "silent") {
      f.silent = true;
    } else if (fault == "short-data") {
      f.shortData = 1;
    } else if (fault == "oversize") {
      f.announce = fingerprint::kMaxModuleData + 1;
    } else if (fault == "wrong-marker") {
      f.wrongMarker = true;
    } else if (fault.rfind(kStatus, 0) == 0) {
      f.status = static_cast<uint8_t>(std::stoul(fault.substr(kStatus.size()), nullptr, 0));
    } else {
      throw std::runtime_error("unknown fingerprint fault: " + fault);
    }
  }
}

void LoadTemplates(const ModuleOptions& o, TerminalModel& model) {
  if (!o.folder.empty()) model.module().LoadFolder(o.folder);
  model.module().Generate(o.templates, o.seed);
}

void SaveTemplates(const ModuleOptions& o, const TerminalModel& model) {
  if (!o.saveFolder.empty()) model.module().SaveFolder(o.saveFolder);
}

}  // namespace wpl::sim
