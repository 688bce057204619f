#pragma once

// The rules for the fields of a notification, in one place: the pages, the
// import, delivery, the delivery settings and both editors check with these,
// so what one accepts the others accept.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "quillmont/platform/export.h"
#include "quillmont/rules/text.h"

namespace quillmont::rules {

// ---- names ----

// Longest notification name, in characters.
inline constexpr std::size_t kMaxNameLength = 100;
// The name trimmed (spaces and tabs); Error(InvalidPropertyValue) with a
// message for the user when it is empty, too long or holds a control
// character.
QUILLMONT_API std::string CheckedName(const std::string& name);
// What two names are compared by (the store's NOCASE collation agrees):
// the checked name with ASCII letters folded.
inline std::string NameKey(std::string_view checkedName) { return FoldedAscii(checkedName); }

// ---- SNMP managers ----

inline constexpr std::int32_t kPortMin = 1;
inline constexpr std::int32_t kPortMax = 65535;
constexpr bool IsPort(std::int64_t port) noexcept { return port >= kPortMin && port <= kPortMax; }

// A host as typed, trimmed; at most this many characters.
inline constexpr std::size_t kMaxHostLength = 128;

inline constexpr const char* kSnmpV1 = "SNMP v1";
inline constexpr const char* kSnmpV2c = "SNMP v2c";
inline constexpr const char* kTimeUnix = "UNIX";
inline constexpr const char* kTimeUtc = "UTC";
inline bool IsSnmpVersion(std::string_view v) { return v == kSnmpV1 || v == kSnmpV2c; }
inline bool IsTimeFormat(std::string_view v) { return v == kTimeUnix || v == kTimeUtc; }

// An enterprise OID that a trap carries exactly as written: dotted decimal,
// 2 to kMaxOidArcs arcs (the bindings under it add two, and SNMP stacks take
// 128), no arc empty or with a leading zero, each at most 2^32 - 1; the
// first 0 to 2, the second below 40 under 0 and 1 (the two share one
// subidentifier, 40 * first + second, which must fit too).
inline constexpr int kMaxOidArcs = 126;
QUILLMONT_API bool IsOid(std::string_view text);

// ---- e-mail ----

inline constexpr std::size_t kMaxAddressLength = 128;
inline constexpr std::size_t kMaxSubjectLength = 250;
inline constexpr std::size_t kMaxMessageLength = 65536;

// Whether text is one e-mail address by the HTML standard's
// valid-e-mail-address rule: a local part of letters, digits, dots and
// !#$%&'*+-/=?^_`{|}~, an "@", and a domain of one or more dot-separated
// labels (letters, digits, hyphens; not starting or ending with a hyphen; at
// most 63 characters). In addition the local part may hold at most 64
// characters and the whole address at most 254. So lists ("a@x, b@y"),
// display names, spaces and line breaks are refused.
QUILLMONT_API bool IsValidEmailAddressText(std::string_view address);

// What the e-mail page shows for a subject or message of its own that the
// notification lacks, and what the import reads as "none": the delivery
// settings' default is used.
inline constexpr const char* kDefaultText = "<Default>";
// A subject or message of the notification's own: not empty, not the
// default's marker; stored, nullopt is the default.
inline bool IsOwnText(std::string_view text) { return !text.empty() && text != kDefaultText; }
inline bool IsOwnStoredText(const std::optional<std::string>& text) { return text && IsOwnText(*text); }

// The e-mail page's rule for its subject and message, as the fields show
// them (kDefaultText for the default): with recipients neither may be empty;
// without, neither may be a text of its own.
struct EmailTextProblems {
  bool subjectEmpty = false;
  bool messageEmpty = false;
  bool textWithoutRecipient = false;
};
inline EmailTextProblems CheckEmailTexts(bool hasRecipients, std::string_view subject, std::string_view message) {
  EmailTextProblems p;
  p.subjectEmpty = hasRecipients && subject.empty();
  p.messageEmpty = hasRecipients && message.empty();
  p.textWithoutRecipient = !hasRecipients && (IsOwnText(subject) || IsOwnText(message));
  return p;
}
// The same for stored texts (nullopt: the default).
inline EmailTextProblems CheckStoredEmailTexts(bool hasRecipients, const std::optional<std::string>& subject,
                                               const std::optional<std::string>& message) {
  return CheckEmailTexts(hasRecipients, subject ? std::string_view(*subject) : kDefaultText,
                         message ? std::string_view(*message) : kDefaultText);
}

}  // namespace quillmont::rules
