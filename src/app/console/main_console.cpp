// The Linux front end: the start-up sequence, the event log on stdout, and
// an orderly shutdown on SIGINT or SIGTERM.
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <string>

#include "app/console/options.h"
#include "app/console/status_block.h"
#include "core/event_log.h"
#include "core/flavour.h"
#include "app/startup.h"
#include "core/version.h"
#include "app/routes.h"
#include "http/server.h"
#include "sys/autostart.h"
#include "sys/folders.h"
#include "sys/instance_lock.h"
#include "sys/process_exit.h"

namespace {

std::atomic<bool> stateChanged{false};

void printLogLine(const std::string& line) {
  std::string out = line + "\n";
  fwrite(out.data(), 1, out.size(), stdout);
  fflush(stdout);
}

void onServerState() { stateChanged.store(true); }

// Waits for SIGINT or SIGTERM and prints the status block after every
// change of the server's state; returns early with false when the server
// failed to start.
bool runUntilSignal(const std::string& base) {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGINT);
  sigaddset(&set, SIGTERM);
  timespec poll{0, 200 * 1000 * 1000};
  for (;;) {
    if (sigtimedwait(&set, nullptr, &poll) > 0) return true;
    if (stateChanged.exchange(false)) {
      if (http::lastStartFailure() != 0) return false;
      console::printStatusBlock(base);
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  const core::Flavour& f = core::programFlavour();
  core::setFlavour(f);

  console::Options opt = console::parseOptions(argc, argv);
  if (!opt.error.empty()) {
    fprintf(stderr, "%s: %s\n%s", f.programName, opt.error.c_str(), console::usageText(f.programName).c_str());
    return 2;
  }
  if (opt.help) {
    fputs(console::usageText(f.programName).c_str(), stdout);
    return 0;
  }
  if (opt.version) {
    printf("%s %s %s\n", f.programName, core::kProductName, core::kVersion);
    return 0;
  }

  if (opt.autostartSwitch != 0) {
    std::string error;
    if (!sys::setAutostart(f.programName, opt.autostartSwitch > 0, error)) {
      fprintf(stderr, "%s: autostart not changed: %s\n", f.programName, error.c_str());
      return 6;
    }
    printf(opt.autostartSwitch > 0 ? "AUTOSTART enabled\n" : "AUTOSTART disabled\n");
    return 0;
  }

  // Signals are taken by sigtimedwait on this thread; every thread started
  // from here on inherits the blocked mask.
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGINT);
  sigaddset(&set, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &set, nullptr);

  std::string base = sys::baseFolder();
  sys::createDirectories(base);
  if (!sys::acquireSingleInstance(base)) {
    fprintf(stderr,
            "The application HTTP(S) Vantrel PRO is already running.\n\nPlease close one of the applications.\n");
    return 3;
  }
  core::setLogAppendedHook(printLogLine);
  app::StartupFolders folders = app::prepareFolders(opt.root);
  app::StartFailure failure = app::prepareServing(folders);
  if (failure != app::StartFailure::None) {
    fprintf(stderr, "%s\n", app::startFailureText(failure));
    return failure == app::StartFailure::Certificate ? 5 : 7;
  }

  http::setServerStateHook(onServerState);
  http::setServerPortOverride(opt.port);
  http::startServer(app::routes());
  bool ok = runUntilSignal(base);

  app::shutDown();
  sys::exitProcess(ok ? 0 : 4);
}
