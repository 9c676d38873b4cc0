// Turns for making previews: a folder of two thousand photos must not
// start two thousand decoders. Requests are served in the order they came,
// kPreviewMakers at a time.
#pragma once
#include <functional>

namespace files {

constexpr int kPreviewMakers = 2;
// How often a waiting request looks whether its client is still there.
constexpr int kTurnCheckMs = 200;

// Waits for a turn while stillWanted() holds (asked every kTurnCheckMs,
// without the queue's lock). True with the turn taken: the caller gives it
// back with endTurn. False when it was no longer wanted.
bool awaitTurn(const std::function<bool()>& stillWanted);
void endTurn();

// Requests holding a turn and waiting for one, for tests.
int turnsTaken();
int turnsWaiting();

}  // namespace files
