#pragma once

#include <chrono>
#include <string>

#include "delivery/delivery.h"

// Shared by the two channels.
namespace quillmont::delivery {

std::string TrapDestination(const Manager& manager);
std::string MailDestination(const std::string& recipient);
// "host:port", "[v6]:port".
std::string HostPort(const std::string& host, int port);
bool StopRequested(const Options& options);
// "cancelled" or "not sent: the time allowed ran out".
std::string StopReason(const Options& options);

// Milliseconds a send may take: the settings' bound, cut to what is left
// before the deadline (at least 1).
inline long BoundMs(const Options& options, int seconds) {
  const auto now = std::chrono::steady_clock::now();
  long ms = static_cast<long>(seconds) * 1000;
  if (options.deadline != std::chrono::steady_clock::time_point::max()) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(options.deadline - now).count();
    if (left < ms) ms = static_cast<long>(left);
  }
  return ms < 1 ? 1 : ms;
}

}  // namespace quillmont::delivery
