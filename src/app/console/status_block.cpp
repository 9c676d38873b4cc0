#include "app/console/status_block.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "app/qr_code.h"
#include "app/qr_text.h"
#include "app/status_snapshot.h"

namespace console {

namespace {

bool envContains(const char* name, const char* part) {
  const char* v = std::getenv(name);
  return v && std::strstr(v, part);
}

}  // namespace

QrColours qrColoursForStdout() {
  const char* term = std::getenv("TERM");
  if (!isatty(STDOUT_FILENO) || !term || std::strcmp(term, "dumb") == 0) return {};
  // Palette entries 16 and 231 are pure black and white that themes leave
  // alone; terminals without 256 colours get the basic black on white.
  bool palette256 = envContains("TERM", "256color") || envContains("COLORTERM", "truecolor") ||
                    envContains("COLORTERM", "24bit");
  return {palette256 ? "\x1b[38;5;16;48;5;231m" : "\x1b[30;47m", "\x1b[0m"};
}

std::string statusBlockText(const core::Flavour& f, const app::StatusSnapshot& s, const QrColours& colours) {
  std::string text = "\n";
  text += std::string(f.window.statusTitle) + "\n";
  text += app::urlLine(f, s) + "\n";
  text += app::pinLine(s) + "\n";
  text += app::driveLine(s) + "\n\n";
  app::QrSymbol symbol;
  if (app::encodeQrSymbol(app::autoLoginUrl(f, s), symbol))
    text += app::qrHalfBlockText(symbol, colours.lineStart, colours.lineEnd) + "\n";
  for (const std::string& line : app::statusReportLines(f, s)) text += line + "\n";
  return text;
}

void printStatusBlock(const std::string& baseFolder) {
  std::string text = statusBlockText(core::flavour(), app::currentStatus(baseFolder), qrColoursForStdout());
  fwrite(text.data(), 1, text.size(), stdout);
  fflush(stdout);
}

}  // namespace console
