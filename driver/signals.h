// SIGHUP, SIGINT and SIGTERM during the report: the pair loop stops at the
// end of its row, the write under way finishes, and the report ends with a
// whole line.
#pragma once

void catchStopSignals();

// Back to the default actions: a second signal ends the process at once.
void releaseStopSignals();

// The signal caught, or 0.
int stopSignal();

// Whether one was caught, for the loops that are told how to stop.
bool stopAsked();
