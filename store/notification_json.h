#pragma once

#include <nlohmann/json.hpp>
#include <string>
#include <string_view>

#include "quillmont/framework/definition.h"
#include "store/notification_rows.h"

// The JSON layout of exported notifications and the strict parse of an
// import document; shared by the export, the import's checker and its
// planner.
namespace quillmont::store::json {

// Written in the order a reader expects; parsed into sorted maps, which keep
// a huge object cheap to read.
using OutJson = nlohmann::ordered_json;
using InJson = nlohmann::json;

// One notification's fields, added to o.
void AddNotification(OutJson& o, const NotificationRecord& r, const EventTypeCollection& catalogue);
// The document as text, ending in a line break.
std::string Dump(const OutJson& doc);
// The document parsed; ImportRefused for text that is not JSON, nesting
// deeper than a document needs, or a field given twice in one object.
InJson Parse(std::string_view document);

// How messages name a value: its kind ("an object"), or the value itself,
// cut to a readable size.
std::string Kind(const InJson& v);
std::string Shown(const InJson& v);
std::string Quoted(const std::string& s);

}  // namespace quillmont::store::json
