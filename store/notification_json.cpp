#include "store/notification_json.h"

#include <istream>
#include <set>
#include <vector>

#include "quillmont/platform/terminal_text.h"
#include "quillmont/storage/utf8.h"
#include "store/notification_io.h"

namespace quillmont::store {
namespace json {
namespace {

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

OutJson OptionalText(const std::optional<std::string>& text) { return text ? OutJson(*text) : OutJson(nullptr); }

}  // namespace

// The document as text. Valid JSON either way, but exports are also read on
// terminals: C1 and bidirectional controls go out escaped too (outside its
// strings the text is plain ASCII, so this touches string contents only).
std::string Dump(const OutJson& doc) {
  std::string raw;
  Layout(doc, "", raw);
  std::string out;
  out.reserve(raw.size() + 1);
  for (char32_t c : utf8::Decode(raw)) {
    if (c >= 0x7F && (text::IsControl(c) || text::IsBidiControl(c) || c == 0x2028 || c == 0x2029)) {
      out += "\\u";
      text::detail::AppendHex(out, static_cast<std::uint32_t>(c), 4);
    } else {
      out += utf8::Encode(c);
    }
  }
  return out + "\n";
}

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

std::string Shown(const InJson& v) {
  if (v.is_object() || v.is_array()) return Kind(v);
  return text::Shortened(v.dump(-1, ' ', false, InJson::error_handler_t::replace), 80);
}

std::string Quoted(const std::string& s) { return Shown(InJson(s)); }

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
  ProblemList problems;
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
        if (!stack.back().keys.insert(stack.back().key).second) problems.Add(pathOf() + ": given twice");
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
  if (!problems.Empty()) throw ImportRefused(ImportRefused::Reason::Invalid, std::move(problems.listed), problems.more);
  return doc;
}

}  // namespace json

using namespace json;

ImportRefused::ImportRefused(Reason reason, std::vector<std::string> problems, std::size_t more)
    : Error(ErrorCode::InvalidPropertyValue,
            reason == Reason::Invalid
                ? "The document was refused (" + std::to_string(problems.size() + more) + " problem" +
                      (problems.size() + more == 1 ? "" : "s") + "). Nothing was written."
                : "Notifications were changed after the document was exported. Nothing was "
                  "written; export again, or import with --force to replace them anyway."),
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
  for (const NotificationRecord& r : store.Reader().ReadAll()) {
    OutJson o;
    AddNotification(o, r, *catalogue);
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

}  // namespace quillmont::store
