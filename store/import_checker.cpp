#include "store/import_checker.h"

#include <limits>
#include <map>

#include "quillmont/rules/characters.h"
#include "quillmont/rules/fields.h"
#include "quillmont/storage/utf8.h"
#include "store/notification_io.h"

namespace quillmont::store {
namespace {

using namespace json;

class Checker {
 public:
  Checker(std::shared_ptr<EventTypeCollection> catalogue, std::set<std::int64_t> groupIds, ProblemList& problems)
      : catalogue_(std::move(catalogue)), groupIds_(std::move(groupIds)), problems_(problems) {}

  std::vector<Incoming> Document(const InJson& doc) {
    std::vector<Incoming> out;
    if (!doc.is_object()) {
      Problem("document", R"(expected an object with "formatVersion" and "notifications", not )" + Kind(doc));
      return out;
    }
    OnlyKnown(doc, "", {"formatVersion", "notifications"});
    if (const InJson* version = Field(doc, "", "formatVersion", true)) {
      auto number = Whole(*version, "formatVersion", 0, std::numeric_limits<std::int64_t>::max());
      if (number && *number != kFormatVersion)
        Problem("formatVersion", std::to_string(*number) + " is not a format this program reads (it reads " +
                                     std::to_string(kFormatVersion) + ")");
    }
    const InJson* list = Field(doc, "", "notifications", true);
    if (!list) return out;
    if (!list->is_array()) {
      Problem("notifications", "expected an array, not " + Kind(*list));
      return out;
    }
    std::map<std::string, std::string> names;  // name key -> path
    for (std::size_t i = 0; i < list->size(); ++i) {
      Incoming in = Notification((*list)[i], "notifications[" + std::to_string(i) + "]");
      if (in.record.name.empty()) continue;
      auto [it, fresh] = names.emplace(rules::NameKey(in.record.name), in.path);
      if (!fresh) Problem(in.path + ".name", Quoted(in.record.name) + " is also the name of " + it->second);
      out.push_back(std::move(in));
    }
    return out;
  }

 private:
  void Problem(const std::string& path, const std::string& what) { problems_.Add(path + ": " + what); }

  static std::string Join(const std::string& path, const std::string& key) {
    return path.empty() ? key : path + "." + key;
  }

  void OnlyKnown(const InJson& object, const std::string& path, std::initializer_list<const char*> known) {
    for (const auto& item : object.items()) {
      bool ok = false;
      for (const char* k : known) ok = ok || item.key() == k;
      if (!ok) Problem(Join(path, item.key()), "unknown field");
    }
  }

  const InJson* Field(const InJson& object, const std::string& path, const char* key, bool required) {
    auto it = object.find(key);
    if (it != object.end()) return &*it;
    if (required) Problem(Join(path, key), "missing");
    return nullptr;
  }

  // A string without characters a stored text may not hold (tab and line
  // feed only where lineBreaks).
  std::optional<std::string> Text(const InJson& v, const std::string& path, bool lineBreaks = false) {
    if (!v.is_string()) {
      Problem(path, "expected a string, not " + Kind(v));
      return std::nullopt;
    }
    std::string text = v.get<std::string>();
    if (const std::string bad = rules::ForbiddenCharacter(text, lineBreaks); !bad.empty()) {
      Problem(path, "holds " + bad + ", which stored text may not hold");
      return std::nullopt;
    }
    return text;
  }

  std::optional<std::int64_t> Whole(const InJson& v, const std::string& path, std::int64_t low, std::int64_t high) {
    if (!v.is_number_integer()) {
      Problem(path, "expected a whole number, not " + Shown(v));
      return std::nullopt;
    }
    const bool fits = v.is_number_unsigned() ? v.get<std::uint64_t>() <= static_cast<std::uint64_t>(high)
                                             : v.get<std::int64_t>() >= low && v.get<std::int64_t>() <= high;
    if (!fits || v.get<std::int64_t>() < low) {
      Problem(path, Shown(v) + " is not between " + std::to_string(low) + " and " + std::to_string(high));
      return std::nullopt;
    }
    return v.get<std::int64_t>();
  }

  // A text of at most maxChars characters; "<Default>" and null stand for
  // none, as on the e-mail page.
  std::optional<std::string> DefaultableText(const InJson* v, const std::string& path, std::size_t maxChars,
                                             bool lineBreaks = false) {
    if (!v || v->is_null()) return std::nullopt;
    auto text = Text(*v, path, lineBreaks);
    if (!text || *text == rules::kDefaultText) return std::nullopt;
    CheckLength(*text, path, maxChars);
    return text;
  }

  bool CheckLength(const std::string& text, const std::string& path, std::size_t maxChars) {
    const std::size_t chars = utf8::CharCount(text);
    if (chars <= maxChars) return true;
    Problem(path, std::to_string(chars) + " characters; at most " + std::to_string(maxChars));
    return false;
  }

  std::optional<StoredManager> Manager(const InJson& v, const std::string& path) {
    if (!v.is_object()) {
      Problem(path, "expected an object, not " + Kind(v));
      return std::nullopt;
    }
    OnlyKnown(v, path, {"host", "port", "version", "timeFormat"});
    StoredManager m;
    bool ok = true;
    if (const InJson* host = Field(v, path, "host", true)) {
      auto text = Text(*host, path + ".host");
      if (text) m.host = rules::Trimmed(*text);
      if (text && m.host.empty()) Problem(path + ".host", "a host name is required");
      ok = ok && text && !m.host.empty() && CheckLength(m.host, path + ".host", rules::kMaxHostLength);
    } else {
      ok = false;
    }
    if (const InJson* port = Field(v, path, "port", true)) {
      if (!port->is_number_integer()) {
        Problem(path + ".port", "expected a whole number, not " + Shown(*port));
        ok = false;
      } else if (port->is_number_unsigned() ? port->get<std::uint64_t>() > std::uint64_t{rules::kPortMax}
                                            : !rules::IsPort(port->get<std::int64_t>())) {
        Problem(path + ".port", port->dump() + " is not between " + std::to_string(rules::kPortMin) + " and " +
                                    std::to_string(rules::kPortMax));
        ok = false;
      } else {
        m.port = static_cast<std::int32_t>(port->get<std::int64_t>());
      }
    } else {
      ok = false;
    }
    auto choice = [&](const char* key, const char* first, const char* second, std::string& into) {
      const InJson* field = Field(v, path, key, true);
      if (!field) return false;
      auto text = Text(*field, Join(path, key));
      if (!text) return false;
      if (*text != first && *text != second) {
        Problem(Join(path, key), Quoted(*text) + " is not " + Quoted(first) + " or " + Quoted(second));
        return false;
      }
      into = *text;
      return true;
    };
    ok = choice("version", rules::kSnmpV1, rules::kSnmpV2c, m.version) && ok;
    ok = choice("timeFormat", rules::kTimeUnix, rules::kTimeUtc, m.timeFormat) && ok;
    if (!ok) return std::nullopt;
    return m;
  }

  void Managers(const InJson& v, const std::string& path, std::vector<StoredManager>& out) {
    if (!v.is_array()) {
      Problem(path, "expected an array, not " + Kind(v));
      return;
    }
    std::vector<std::size_t> positions;
    for (std::size_t i = 0; i < v.size(); ++i) {
      const std::string at = path + "[" + std::to_string(i) + "]";
      auto m = Manager(v[i], at);
      if (!m) continue;
      // Duplicates as the page finds them: the host with ASCII letters in
      // either case, and the same port.
      for (std::size_t j = 0; j < out.size(); ++j)
        if (out[j].port == m->port && rules::EqualsIgnoringAsciiCase(out[j].host, m->host)) {
          Problem(at, "the same host and port as " + path + "[" + std::to_string(positions[j]) + "]");
          break;
        }
      out.push_back(std::move(*m));
      positions.push_back(i);
    }
  }

  void Recipients(const InJson& v, const std::string& path, std::vector<std::string>& out) {
    if (!v.is_array()) {
      Problem(path, "expected an array, not " + Kind(v));
      return;
    }
    for (std::size_t i = 0; i < v.size(); ++i) {
      const std::string at = path + "[" + std::to_string(i) + "]";
      auto text = Text(v[i], at);
      if (!text) continue;
      const std::string address = rules::Trimmed(*text);
      if (!CheckLength(address, at, rules::kMaxAddressLength)) continue;
      if (!rules::IsValidEmailAddressText(address)) Problem(at, Quoted(address) + " is not a valid e-mail address");
      out.push_back(address);
    }
  }

  void EventTypes(const InJson& v, const std::string& path, std::vector<std::string>& out) {
    if (!v.is_array()) {
      Problem(path, "expected an array, not " + Kind(v));
      return;
    }
    if (v.empty()) Problem(path, "at least one event type must be chosen");
    std::set<std::string> seen;
    for (std::size_t i = 0; i < v.size(); ++i) {
      const std::string at = path + "[" + std::to_string(i) + "]";
      const InJson* key = &v[i];
      std::string keyPath = at;
      if (v[i].is_object()) {
        // The name and group an export writes beside the key only describe it.
        OnlyKnown(v[i], at, {"key", "name", "groupId"});
        key = Field(v[i], at, "key", true);
        keyPath = at + ".key";
        if (!key) continue;
      }
      auto text = Text(*key, keyPath);
      if (!text) continue;
      if (!catalogue_->Item(*text))
        Problem(keyPath, Quoted(*text) + " is not an event type of the catalogue");
      else if (!seen.insert(*text).second)
        Problem(keyPath, Quoted(*text) + " is chosen twice");
      else
        out.push_back(*text);
    }
  }

  Incoming Notification(const InJson& v, const std::string& path) {
    Incoming in;
    in.path = path;
    if (!v.is_object()) {
      Problem(path, "expected an object, not " + Kind(v));
      return in;
    }
    OnlyKnown(v, path,
              {"number", "name", "revision", "snmpManagers", "emailRecipients", "emailSubject", "emailMessage",
               "eventGroupId", "eventTypes"});
    NotificationRecord& r = in.record;
    if (const InJson* number = Field(v, path, "number", false))
      if (auto n = Whole(*number, path + ".number", 1, std::numeric_limits<std::int32_t>::max()))
        in.number = static_cast<std::int32_t>(*n);
    if (const InJson* name = Field(v, path, "name", true)) {
      if (auto text = Text(*name, path + ".name")) {
        try {
          r.name = rules::CheckedName(*text);
        } catch (const Error& e) {
          Problem(path + ".name", e.what());
        }
      }
    }
    if (const InJson* revision = Field(v, path, "revision", false))
      in.revision = Whole(*revision, path + ".revision", 0, std::numeric_limits<std::int32_t>::max());
    if (const InJson* managers = Field(v, path, "snmpManagers", false))
      Managers(*managers, path + ".snmpManagers", r.managers);
    const InJson* recipients = Field(v, path, "emailRecipients", false);
    if (recipients) Recipients(*recipients, path + ".emailRecipients", r.recipients);
    r.subject =
        DefaultableText(Field(v, path, "emailSubject", false), path + ".emailSubject", rules::kMaxSubjectLength);
    r.message =
        DefaultableText(Field(v, path, "emailMessage", false), path + ".emailMessage", rules::kMaxMessageLength, true);
    // The e-mail page's own validity rules.
    const rules::EmailTextProblems texts = rules::CheckStoredEmailTexts(!r.recipients.empty(), r.subject, r.message);
    if (texts.subjectEmpty)
      Problem(path + ".emailSubject", "empty, but there are recipients (null gives the default subject)");
    if (texts.messageEmpty)
      Problem(path + ".emailMessage", "empty, but there are recipients (null gives the default message)");
    if (texts.textWithoutRecipient && (recipients == nullptr || recipients->is_array()))
      Problem(path + ".emailRecipients", "a subject or message is given, but no recipient");
    if (const InJson* group = Field(v, path, "eventGroupId", false)) {
      if (auto id = Whole(*group, path + ".eventGroupId", 0, std::numeric_limits<std::int32_t>::max())) {
        if (*id != 0 && !groupIds_.count(*id))
          Problem(path + ".eventGroupId", std::to_string(*id) + " is not an event group of the catalogue (0 is all)");
        r.eventGroupId = static_cast<std::int32_t>(*id);
      }
    }
    if (const InJson* types = Field(v, path, "eventTypes", true))
      EventTypes(*types, path + ".eventTypes", r.eventTypeKeys);
    return in;
  }

  std::shared_ptr<EventTypeCollection> catalogue_;
  std::set<std::int64_t> groupIds_;
  ProblemList& problems_;
};

}  // namespace

std::vector<Incoming> CheckDocument(const InJson& doc, std::shared_ptr<EventTypeCollection> catalogue,
                                    std::set<std::int64_t> groupIds, ProblemList& problems) {
  return Checker(std::move(catalogue), std::move(groupIds), problems).Document(doc);
}

void CheckLookAlikes(const std::map<std::string, NotificationRecord>& stored, const std::vector<Incoming>& incoming,
                     ProblemList& problems) {
  struct Look {
    std::set<std::string> keys;  // the names of this look, folded
    std::string first;           // who had it first
  };
  std::map<std::string, Look> looks;
  for (const auto& [key, r] : stored) {
    Look& look = looks[rules::LookAlike(r.name)];
    if (look.keys.empty()) look.first = "notification " + std::to_string(r.id) + " " + Quoted(r.name);
    look.keys.insert(key);
  }
  for (const Incoming& in : incoming) {
    const std::string key = rules::NameKey(in.record.name);
    Look& look = looks[rules::LookAlike(in.record.name)];
    if (look.keys.empty()) look.first = in.path;
    if (look.keys.insert(key).second && look.keys.size() > 1)
      problems.Add(in.path + ".name: " + Quoted(in.record.name) + " looks like " + look.first +
                   " but differs from it in invisible or look-alike characters");
  }
}

}  // namespace quillmont::store
