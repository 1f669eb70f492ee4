// pclog: the library's conversations and conversions from the command line.
#include "commands.h"
#ifdef WPL_WITH_COLLECTOR
#include "collect_commands.h"
#endif

int main(int argc, char** argv) {
  CLI::App app{"Talk to KORVANE terminals and convert their record files"};
  app.require_subcommand(1);
  wpl::Env env = wpl::ProcessEnv();
  pclog::GlobalOptions global(app, env);  // --trace and --json, for every command
  pclog::AddSerialBasics(app, env);
  pclog::AddNetworkBasics(app, env);
  pclog::AddDownloads(app, env);
  pclog::AddLanDownload(app, env);
  pclog::AddConversions(app, env);
  pclog::AddSettings(app, env);
  pclog::AddCards(app, env);
  pclog::AddWatch(app);
  pclog::AddPersonnel(app, env);
  pclog::AddFingerprint(app, env);
  pclog::AddBackup(app, env);
#ifdef WPL_WITH_COLLECTOR
  collect::AddCollectCommands(app);
#endif
  return global.Run(argc, argv);
}
