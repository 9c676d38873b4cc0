// The terminal's stand-in for the main window: title, URL, PIN, drive line,
// the QR code of the auto-login URL and the status report.
#pragma once
#include <string>

#include "core/flavour.h"
#include "app/status_text.h"

namespace console {

// Colours that paint the QR code dark on light whatever the terminal's own
// background; empty when the text does not go to a terminal.
struct QrColours {
  std::string lineStart;
  std::string lineEnd;
};
QrColours qrColoursForStdout();

std::string statusBlockText(const core::Flavour& f, const app::StatusSnapshot& s, const QrColours& colours);

// Reads the current state and writes the block to stdout in one piece.
void printStatusBlock(const std::string& baseFolder);

}  // namespace console
