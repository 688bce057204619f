#pragma once

#include <functional>
#include <random>
#include <string>
#include <vector>

#include "delivery/delivery.h"
#include "store/outbox.h"

// Sending what the outbox holds: its rows through the engine, and each
// outcome turned into what the outbox records. quillmont-notify's first
// attempt and quillmont-dispatch's later ones are the same code.
namespace quillmont::delivery {

// The row as the engine sends it: its texts as recorded, its token as the
// delivery id.
Item ItemOf(const store::Delivery& delivery);

// What an outcome means for the row: sent; failed for good (a permanent
// failure, or the attempts or age used up); queued for a retry on the
// settings' schedule; released, uncounted, when it was cancelled.
store::AttemptResult ResultOf(const store::Delivery& delivery, const Outcome& outcome, const DeliverySettings& settings,
                              std::mt19937_64& random, std::int64_t now = store::NowMs());

// Sends the rows at once (the engine's deadline and cancel in options) and
// tells `recorded` each row with its outcome and result as soon as it is
// known (from the calling thread).
using OnResult = std::function<void(const store::Delivery&, const Outcome&, const store::AttemptResult&)>;
void Attempt(const std::vector<store::Delivery>& deliveries, const DeliverySettings& settings, Options options,
             const OnResult& onResult);

// A sender's name in leases and the log: "dispatch@host:pid".
std::string SenderName(const std::string& program);

// One line for an attempt, escaped for a terminal: "sent: \"N\": e-mail to
// a@example.net", or "queued: ...: what went wrong; next attempt at TIME",
// "failed: ...: why", "released: ..."; with `numbered`, followed by
// " (delivery ID, attempt N)".
std::string AttemptLine(const store::Delivery& delivery, const Outcome& outcome, const store::AttemptResult& result,
                        bool numbered);

}  // namespace quillmont::delivery
