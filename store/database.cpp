#include "store/database.h"

#include <ctime>
#include <limits>

#include "quillmont/storage/utf8.h"

namespace quillmont::store {

std::string UtcNow() {
  const std::time_t now = std::time(nullptr);
  std::tm utc{};
  gmtime_r(&now, &utc);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
  return text;
}

std::int64_t Statement::Run() {
  while (Step()) {
  }
  const std::int64_t changed = impl_->Changes();
  Reset();
  return changed;
}

std::optional<std::string> Statement::OptionalText(int column) const {
  if (IsNull(column)) return std::nullopt;
  return Text(column);
}

std::string Statement::Text(int column, std::size_t maxChars, const char* field) const {
  return std::string(TextView(column, maxChars, field));
}

std::string_view Statement::TextView(int column, std::size_t maxChars, const char* field) const {
  const std::string_view raw = impl_->Bytes(column);
  // Four bytes at most per character: longer is too long whatever it holds.
  const bool tooManyBytes = raw.size() > 4 * maxChars;
  const std::size_t chars = tooManyBytes ? raw.size() : utf8::CharCount(raw);
  if (chars > maxChars)
    throw Error(ErrorCode::Corrupt, "The database holds " + std::string(field) + " of " + std::to_string(chars) +
                                        (tooManyBytes ? " bytes" : " characters") + ", more than the " +
                                        std::to_string(maxChars) + " allowed; it was not loaded.");
  return raw;
}

std::optional<std::string> Statement::OptionalText(int column, std::size_t maxChars, const char* field) const {
  if (IsNull(column)) return std::nullopt;
  return Text(column, maxChars, field);
}

std::int32_t ToInt32(std::int64_t value, const char* what) {
  if (value < std::numeric_limits<std::int32_t>::min() || value > std::numeric_limits<std::int32_t>::max())
    throw Error(ErrorCode::Corrupt, std::string("The database holds an impossible ") + what + ".");
  return static_cast<std::int32_t>(value);
}

std::int64_t Database::QueryInt(std::string_view sql) {
  Statement s = Prepare(sql);
  return s.Step() ? s.Int(0) : 0;
}

}  // namespace quillmont::store
