// Work split between the two cores the program is made for.
#pragma once

#include <exception>
#include <system_error>
#include <thread>

// Fewer items than this are not worth a second thread.
inline constexpr long long worthTwoThreads = 4096;

// Runs f(1) on a thread of its own and f(0) on this one, both here where no
// thread can be had or the work is too small to pay for one; once both are
// done, rethrows what either threw.
template <class F>
void onTwoThreads(F&& f, bool worthAThread = true) {
  std::exception_ptr failed[2];
  auto run = [&](int half) {
    try {
      f(half);
    } catch (...) {
      failed[half] = std::current_exception();
    }
  };
  {
    std::jthread helper;
    try {
      if (worthAThread) helper = std::jthread(run, 1);
    } catch (const std::system_error&) {
    }
    if (!helper.joinable()) run(1);
    run(0);
  }
  for (const std::exception_ptr& e : failed) {
    if (e) std::rethrow_exception(e);
  }
}

// The first or the second half of [0, count).
inline void halfOf(int half, long long count, long long& from, long long& to) {
  from = half == 0 ? 0 : count / 2;
  to = half == 0 ? count / 2 : count;
}
