#include "store/notification_io.h"

#include <istream>
#include <limits>
#include <map>
#include <nlohmann/json.hpp>
#include <optional>
#include <set>

#include "quillmont/platform/terminal_text.h"
#include "quillmont/platform/ui/utf8.h"
#include "quillmont/rules/characters.h"
#include "quillmont/rules/fields.h"

namespace quillmont::store {
namespace {

// Written in the order a reader expects; parsed into sorted maps, which keep
// a huge object cheap to read.
using OutJson = nlohmann::ordered_json;
using InJson = nlohmann::json;

std::vector<std::int32_t> NotificationNumbers(Store& store) {
  Statement s = store.Db().Prepare("SELECT id FROM notifications ORDER BY id");
  std::vector<std::int32_t> ids;
  while (s.Step()) {
    const std::int64_t id = s.Int(0);
    if (id < 1 || id > std::numeric_limits<std::int32_t>::max())
      throw Error(ErrorCode::Corrupt, "The database holds an impossible notification number.");
    ids.push_back(static_cast<std::int32_t>(id));
  }
  return ids;
}

// Scripts and people have read the same layout since the first export: one
// field a line, and an object of plain values (a manager, an event type) or
// a list of them (the recipients) on one line.
void Layout(const OutJson& v, const std::string& indent, std::string& out) {
  if (!v.is_structured()) {
    out += v.dump(-1, ' ', false, OutJson::error_handler_t::replace);
    return;
  }
  const bool object = v.is_object();
  if (v.empty()) {
    out += object ? "{}" : "[]";
    return;
  }
  bool multiline = false;
  for (const OutJson& element : v) multiline = multiline || element.is_structured();
  const std::string inner = indent + "  ";
  out += object ? '{' : '[';
  for (auto it = v.begin(); it != v.end(); ++it) {
    if (it != v.begin()) out += multiline ? "," : ", ";
    if (multiline) out += "\n" + inner;
    if (object) out += OutJson(it.key()).dump() + ": ";
    Layout(*it, inner, out);
  }
  if (multiline) out += "\n" + indent;
  out += object ? '}' : ']';
}

// The document as text. Valid JSON either way, but exports are also read on
// terminals: C1 and bidirectional controls go out escaped too (outside its
// strings the text is plain ASCII, so this touches string contents only).
std::string Dump(const OutJson& doc) {
  std::string raw;
  Layout(doc, "", raw);
  std::string out;
  out.reserve(raw.size() + 1);
  for (char32_t c : ui::utf8::Decode(raw)) {
    if (c >= 0x7F && (text::IsControl(c) || text::IsBidiControl(c) || c == 0x2028 || c == 0x2029)) {
      out += "\\u";
      text::detail::AppendHex(out, static_cast<std::uint32_t>(c), 4);
    } else {
      out += ui::utf8::Encode(c);
    }
  }
  return out + "\n";
}

OutJson OptionalText(const std::optional<std::string>& text) { return text ? OutJson(*text) : OutJson(nullptr); }

void AddNotification(OutJson& o, const NotificationRecord& r, const EventTypeCollection& catalogue) {
  o["number"] = r.id;
  o["name"] = r.name;
  o["revision"] = r.revision;
  OutJson managers = OutJson::array();
  for (const StoredManager& m : r.managers)
    managers.push_back({{"host", m.host}, {"port", m.port}, {"version", m.version}, {"timeFormat", m.timeFormat}});
  o["snmpManagers"] = std::move(managers);
  o["emailRecipients"] = r.recipients;
  o["emailSubject"] = OptionalText(r.subject);
  o["emailMessage"] = OptionalText(r.message);
  o["eventGroupId"] = r.eventGroupId;
  OutJson types = OutJson::array();
  for (const std::string& key : r.eventTypeKeys) {
    auto type = catalogue.Item(key);
    types.push_back({{"key", key},
                     {"name", type ? OutJson(type->Name()) : OutJson(nullptr)},
                     {"groupId", type ? OutJson(type->GroupID()) : OutJson(nullptr)}});
  }
  o["eventTypes"] = std::move(types);
}

// ---- reading a document ----

// One notification of a document, checked and as it would be stored.
struct Incoming {
  std::string path;  // "notifications[3]"
  std::optional<std::int32_t> number;
  std::optional<std::int64_t> revision;
  NotificationRecord record;
};

std::string Kind(const InJson& v) {
  switch (v.type()) {
    case InJson::value_t::object:
      return "an object";
    case InJson::value_t::array:
      return "an array";
    case InJson::value_t::string:
      return "a string";
    case InJson::value_t::boolean:
      return "true or false";
    case InJson::value_t::null:
      return "null";
    default:
      return "a number";
  }
}

// A value quoted in a message, cut to a readable size.
std::string Shown(const InJson& v) {
  if (v.is_object() || v.is_array()) return Kind(v);
  return text::Shortened(v.dump(-1, ' ', false, InJson::error_handler_t::replace), 80);
}

std::string Quoted(const std::string& s) { return Shown(InJson(s)); }

// The problems listed of a refused document: the first ones, then a count.
constexpr std::size_t kMaxProblems = 100;

class Checker {
 public:
  Checker(Store& store) : catalogue_(store.EventTypes()) {
    Statement groups = store.Db().Prepare("SELECT Group_id FROM event_groups");
    while (groups.Step()) groupIds_.insert(groups.Int(0));
  }

  std::vector<std::string> problems;
  std::size_t moreProblems = 0;  // beyond the first kMaxProblems

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
  void Problem(const std::string& path, const std::string& what) {
    if (problems.size() < kMaxProblems)
      problems.push_back(path + ": " + what);
    else
      ++moreProblems;
  }

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
    const std::size_t chars = ui::utf8::CharCount(text);
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
      // Duplicates as the page finds them: the host with ASCII letters in either case,
      // and the same port.
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
};

// Parses a document, reporting a field given twice in one object (the
// parser alone would keep the last silently).
InJson Parse(std::string_view document) {
  constexpr int kMaxDepth = 16;
  struct Frame {
    bool array = false;
    std::size_t index = 0;
    std::string key;
    std::set<std::string> keys;
  };
  std::vector<Frame> stack;
  std::vector<std::string> problems;
  std::size_t moreProblems = 0;
  // The parser takes a NUL for the end of the text: what follows would be
  // ignored unread.
  if (const auto nul = document.find('\0'); nul != std::string_view::npos)
    throw ImportRefused(ImportRefused::Reason::Invalid,
                        {"document: a NUL byte at byte " + std::to_string(nul) + ", which JSON text cannot hold"});
  auto pathOf = [&stack] {
    std::string path;
    // Appended piece by piece: g++ 12 at -O3 warns (wrongly) about the
    // temporaries of a + b + c here.
    for (const Frame& f : stack) {
      if (f.array) {
        path += '[';
        path += std::to_string(f.index);
        path += ']';
      } else {
        if (!path.empty()) path += '.';
        path += f.key;
      }
    }
    return path;
  };
  InJson::parser_callback_t callback = [&](int depth, InJson::parse_event_t event, InJson& parsed) {
    switch (event) {
      case InJson::parse_event_t::object_start:
      case InJson::parse_event_t::array_start:
        // A document is five levels deep; a deeper one would only cost
        // memory.
        if (depth >= kMaxDepth)
          throw ImportRefused(ImportRefused::Reason::Invalid,
                              {pathOf() + ": nested deeper than " + std::to_string(kMaxDepth) + " levels"});
        stack.emplace_back();
        stack.back().array = event == InJson::parse_event_t::array_start;
        break;
      case InJson::parse_event_t::key:
        stack.back().key = parsed.get<std::string>();
        if (!stack.back().keys.insert(stack.back().key).second) {
          if (problems.size() < kMaxProblems)
            problems.push_back(pathOf() + ": given twice");
          else
            ++moreProblems;
        }
        break;
      case InJson::parse_event_t::object_end:
      case InJson::parse_event_t::array_end:
        stack.pop_back();
        [[fallthrough]];
      case InJson::parse_event_t::value:
        if (!stack.empty() && stack.back().array) ++stack.back().index;
        break;
    }
    return true;
  };
  InJson doc;
  try {
    doc = InJson::parse(document.begin(), document.end(), callback);
  } catch (const InJson::exception& e) {
    // "[json.exception.parse_error.101] parse error at line 3, column 5: ..."
    std::string what = e.what();
    if (auto end = what.find("] "); what.rfind("[json.exception.", 0) == 0 && end != std::string::npos)
      what.erase(0, end + 2);
    throw ImportRefused(ImportRefused::Reason::Invalid, {"document: " + what});
  }
  if (!problems.empty()) throw ImportRefused(ImportRefused::Reason::Invalid, std::move(problems), moreProblems);
  return doc;
}

// A name that only invisible or look-alike characters (a Cyrillic о, a
// zero-width space) tell apart from another, stored or in the document, is
// refused: a reader takes the two for one.
void RefuseLookAlikes(const std::map<std::string, NotificationRecord>& stored, const std::vector<Incoming>& incoming) {
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
  std::vector<std::string> problems;
  for (const Incoming& in : incoming) {
    const std::string key = rules::NameKey(in.record.name);
    Look& look = looks[rules::LookAlike(in.record.name)];
    if (look.keys.empty()) look.first = in.path;
    if (look.keys.insert(key).second && look.keys.size() > 1 && problems.size() < kMaxProblems)
      problems.push_back(in.path + ".name: " + Quoted(in.record.name) + " looks like " + look.first +
                         " but differs from it in invisible or look-alike characters");
  }
  if (!problems.empty()) throw ImportRefused(ImportRefused::Reason::Invalid, std::move(problems));
}

bool SameContent(const NotificationRecord& a, const NotificationRecord& b) {
  auto sameManager = [](const StoredManager& x, const StoredManager& y) {
    return x.host == y.host && x.port == y.port && x.version == y.version && x.timeFormat == y.timeFormat;
  };
  return a.name == b.name && a.subject == b.subject && a.message == b.message && a.eventGroupId == b.eventGroupId &&
         a.recipients == b.recipients && a.eventTypeKeys == b.eventTypeKeys &&
         std::equal(a.managers.begin(), a.managers.end(), b.managers.begin(), b.managers.end(), sameManager);
}

// Writes the lists of a notification in place of what it holds.
void WriteParts(Database& db, std::int64_t id, const NotificationRecord& r) {
  for (const char* table : {"snmp_managers", "email_recipients", "notification_event_types"})
    db.Prepare(std::string("DELETE FROM ") + table + " WHERE notification_id = ?").Bind(1, id).Run();
  Statement m = db.Prepare(
      "INSERT INTO snmp_managers(notification_id, position, host, port, version, time_format) VALUES(?,?,?,?,?,?)");
  std::int64_t position = 0;
  for (const StoredManager& x : r.managers) {
    m.Bind(1, id).Bind(2, ++position).Bind(3, x.host).Bind(4, std::int64_t{x.port}).Bind(5, x.version);
    m.Bind(6, x.timeFormat).Queue();
  }
  Statement e = db.Prepare("INSERT INTO email_recipients(notification_id, position, address) VALUES(?,?,?)");
  position = 0;
  for (const std::string& address : r.recipients) e.Bind(1, id).Bind(2, ++position).Bind(3, address).Queue();
  Statement t = db.Prepare("INSERT INTO notification_event_types(notification_id, position, type_key) VALUES(?,?,?)");
  position = 0;
  for (const std::string& key : r.eventTypeKeys) t.Bind(1, id).Bind(2, ++position).Bind(3, key).Queue();
}

}  // namespace

ImportRefused::ImportRefused(Reason reason, std::vector<std::string> problems, std::size_t more)
    : Error(ErrorCode::InvalidPropertyValue,
            reason == Reason::Invalid
                ? "The document was refused (" + std::to_string(problems.size() + more) + " problem" +
                      (problems.size() + more == 1 ? "" : "s") + "). Nothing was written."
                : "Notifications were changed after the document was exported. Nothing was written; export again, "
                  "or import with --force to replace them anyway."),
      reason_(reason),
      problems_(std::move(problems)) {
  if (more > 0) problems_.push_back("... and " + std::to_string(more) + " more");
}

std::string ExportJson(Store& store, std::int32_t id) {
  ReadTransaction snapshot(store.Db());
  OutJson doc;
  doc["formatVersion"] = kFormatVersion;
  AddNotification(doc, store.ReadNotification(id), *store.EventTypes());
  return Dump(doc);
}

std::string ExportAllJson(Store& store) {
  ReadTransaction snapshot(store.Db());
  auto catalogue = store.EventTypes();
  OutJson doc;
  doc["formatVersion"] = kFormatVersion;
  OutJson list = OutJson::array();
  for (std::int32_t id : NotificationNumbers(store)) {
    OutJson o;
    AddNotification(o, store.ReadNotification(id), *catalogue);
    list.push_back(std::move(o));
  }
  doc["notifications"] = std::move(list);
  return Dump(doc);
}

std::string ReadImportDocument(std::istream& in, const std::string& source) {
  std::string text;
  char buffer[1 << 16];
  while (in.read(buffer, sizeof buffer) || in.gcount() > 0) {
    text.append(buffer, static_cast<std::size_t>(in.gcount()));
    if (text.size() > kMaxImportBytes)
      throw ImportRefused(ImportRefused::Reason::Invalid,
                          {source + ": larger than " + std::to_string(kMaxImportBytes >> 20) + " MB"});
  }
  if (in.bad()) throw ImportRefused(ImportRefused::Reason::Invalid, {source + ": could not be read"});
  return text;
}

std::vector<ImportStep> ImportJson(Store& store, std::string_view document, const ImportOptions& options) {
  if (document.size() > kMaxImportBytes)
    throw ImportRefused(ImportRefused::Reason::Invalid,
                        {"document: larger than " + std::to_string(kMaxImportBytes >> 20) + " MB"});
  const InJson doc = Parse(document);
  Database& db = store.Db();
  if (!options.dryRun && store.ReadOnly())
    throw Error(ErrorCode::Failed, "The database " + db.DisplayName() +
                                       " is open read-only (this user cannot write it or its folder), so importing "
                                       "is not possible. Nothing was written.");
  // Checked and planned inside the transaction that writes: no other save
  // comes between what was read and the commit.
  std::optional<WriteTransaction> tx;
  std::optional<ReadTransaction> snapshot;
  if (options.dryRun)
    snapshot.emplace(db);
  else
    tx.emplace(db);

  Checker checker(store);
  std::vector<Incoming> incoming = checker.Document(doc);
  if (!checker.problems.empty())
    throw ImportRefused(ImportRefused::Reason::Invalid, std::move(checker.problems), checker.moreProblems);

  std::map<std::string, NotificationRecord> stored;  // name key -> record
  for (std::int32_t id : NotificationNumbers(store)) {
    NotificationRecord r = store.ReadNotification(id);
    stored.emplace(rules::NameKey(r.name), std::move(r));
  }
  RefuseLookAlikes(stored, incoming);
  std::vector<ImportStep> steps;
  std::vector<std::string> conflicts;
  std::set<std::int64_t> usedNumbers;
  std::set<std::string> matched;
  for (const auto& [key, r] : stored) usedNumbers.insert(r.id);
  for (const Incoming& in : incoming) {
    const std::string key = rules::NameKey(in.record.name);
    auto it = stored.find(key);
    if (it == stored.end()) {
      steps.push_back({ImportStep::Action::Create, 0, in.record.name});
      continue;
    }
    matched.insert(key);
    const NotificationRecord& current = it->second;
    if (SameContent(current, in.record)) {
      steps.push_back({ImportStep::Action::Unchanged, current.id, in.record.name});
      continue;
    }
    steps.push_back({ImportStep::Action::Replace, current.id, in.record.name});
    if (in.revision && *in.revision != current.revision && !options.force)
      conflicts.push_back(in.path + ": notification " + std::to_string(current.id) + " (" + Quoted(current.name) +
                          ") is at revision " + std::to_string(current.revision) + ", the document has revision " +
                          std::to_string(*in.revision));
  }
  if (!conflicts.empty()) throw ImportRefused(ImportRefused::Reason::ChangedMeanwhile, std::move(conflicts));
  if (options.prune)
    for (const auto& [key, r] : stored)
      if (!matched.count(key)) {
        steps.push_back({ImportStep::Action::Prune, r.id, r.name});
        usedNumbers.erase(r.id);
      }
  // A new notification keeps the document's number when it is free.
  for (std::size_t i = 0; i < incoming.size(); ++i)
    if (steps[i].action == ImportStep::Action::Create && incoming[i].number &&
        usedNumbers.insert(*incoming[i].number).second)
      steps[i].number = *incoming[i].number;
  if (options.dryRun) return steps;

  for (const ImportStep& step : steps)
    if (step.action == ImportStep::Action::Prune)
      db.Prepare("DELETE FROM notifications WHERE id = ?").Bind(1, std::int64_t{step.number}).Run();
  // Numbers taken from the document first, so no number chosen by the
  // database meets one of them.
  for (int pass = 0; pass < 2; ++pass) {
    if (pass == 1) db.AfterExplicitNumbers();
    for (std::size_t i = 0; i < incoming.size(); ++i) {
      ImportStep& step = steps[i];
      const NotificationRecord& r = incoming[i].record;
      if (step.action == ImportStep::Action::Create && (step.number != 0) == (pass == 0)) {
        // The number is the document's, or the database's own choice.
        Statement ins =
            db.Prepare(step.number != 0
                           ? "INSERT INTO notifications(name, email_subject, email_message, event_group_id, revision, "
                             "modified, id) VALUES(?, ?, ?, ?, ?, ?, ?) RETURNING id"
                           : "INSERT INTO notifications(name, email_subject, email_message, event_group_id, revision, "
                             "modified) VALUES(?, ?, ?, ?, ?, ?) RETURNING id");
        ins.Bind(1, r.name).Bind(2, r.subject).Bind(3, r.message).Bind(4, std::int64_t{r.eventGroupId});
        ins.Bind(5, incoming[i].revision.value_or(1)).Bind(6, UtcNow());
        if (step.number != 0) ins.Bind(7, std::int64_t{step.number});
        const std::int64_t id = ins.Step() ? ins.Int(0) : 0;
        ins.Reset();
        if (id > std::numeric_limits<std::int32_t>::max())
          throw Error(ErrorCode::Failed, "The database has no notification number left. Nothing was written.");
        step.number = static_cast<std::int32_t>(id);
        WriteParts(db, id, r);
      } else if (step.action == ImportStep::Action::Replace && pass == 0) {
        db.Prepare(
              "UPDATE notifications SET name = ?, email_subject = ?, email_message = ?, event_group_id = ?, "
              "revision = revision + 1, modified = ? WHERE id = ?")
            .Bind(1, r.name)
            .Bind(2, r.subject)
            .Bind(3, r.message)
            .Bind(4, std::int64_t{r.eventGroupId})
            .Bind(5, UtcNow())
            .Bind(6, std::int64_t{step.number})
            .Run();
        WriteParts(db, step.number, r);
      }
    }
  }
  tx->Commit();
  return steps;
}

}  // namespace quillmont::store
