// While the video blocks are read, a Send waits: its telegram between two
// block requests would have its reply counted as video samples. The held
// Send goes out when the block reads end.
#pragma once

using SendFunction = void (*)(void);

void BeginBlockReads(void);
// Ends the block reads and sends what was held.
void EndBlockReads(void);
// During block reads: keeps `send` for later and returns 1; otherwise 0.
int HoldSend(SendFunction send);
