#include "signals.h"

#include <csignal>

namespace {

volatile std::sig_atomic_t caught = 0;

void noteSignal(int signal) {
  caught = signal;
}

constexpr int stopSignals[] = {SIGHUP, SIGINT, SIGTERM};
bool ours[3] = {};  // those not ignored when the program started (nohup ignores SIGHUP)

}  // namespace

void catchStopSignals() {
  struct sigaction action {};
  action.sa_handler = noteSignal;
  action.sa_flags = SA_RESTART;  // a write under way goes on
  sigemptyset(&action.sa_mask);
  for (int k = 0; k < 3; ++k) {
    struct sigaction before {};
    sigaction(stopSignals[k], nullptr, &before);
    ours[k] = before.sa_handler != SIG_IGN;
    if (ours[k]) sigaction(stopSignals[k], &action, nullptr);
  }
}

void releaseStopSignals() {
  for (int k = 0; k < 3; ++k) {
    if (ours[k]) std::signal(stopSignals[k], SIG_DFL);
  }
}

int stopSignal() {
  return caught;
}

bool stopAsked() {
  return caught != 0;
}
