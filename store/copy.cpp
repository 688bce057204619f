#include "store/copy.h"

#include <algorithm>
#include <optional>
#include <vector>

#include "store/notification_io.h"

namespace quillmont::store {
namespace {

using Row = std::vector<std::optional<std::string>>;

struct Table {
  const char* name;
  std::vector<const char*> columns;
  const char* order;              // "" for the catalogue's own order; nullptr: sorted here
  bool notificationRows = false;  // copied through the notifications' reader and writer
};

const std::vector<Table>& Tables() {
  static const std::vector<Table> tables = {
      {"event_groups", {"Group_id", "Group_Name", "Group_Label", "sort_order"}, "Group_id"},
      {"event_types", {"type_key", "name", "group_id", "sort_order"}, ""},
      {"notifications",
       {"id", "name", "email_subject", "email_message", "event_group_id", "revision", "modified"},
       "id",
       true},
      {"snmp_managers",
       {"notification_id", "position", "host", "port", "version", "time_format"},
       "notification_id, position",
       true},
      {"email_recipients", {"notification_id", "position", "address"}, "notification_id, position", true},
      {"notification_event_types", {"notification_id", "position", "type_key"}, "notification_id, position", true},
      // Keys are ordered in the program: the two backends sort text differently.
      {"settings", {"key", "value"}, nullptr},
  };
  return tables;
}

std::vector<Row> ReadTable(Store& store, const Table& table) {
  Database& db = store.Db();
  std::string sql = "SELECT ";
  for (std::size_t i = 0; i < table.columns.size(); ++i) {
    const std::string column = table.columns[i];
    // A file too old for a column reads as if it had its default.
    const bool missing =
        (column == "revision" && store.SchemaVersion() < 3) || (column == "modified" && store.SchemaVersion() < 2);
    sql += (i ? ", " : "") + (missing ? (column == "revision" ? std::string("0") : "NULL") : column);
  }
  sql += std::string(" FROM ") + table.name;
  if (table.order) sql += std::string(" ORDER BY ") + (*table.order ? table.order : "sort_order, ");
  if (table.order && !*table.order) sql += db.InsertionOrder();
  Statement s = db.Prepare(sql);
  std::vector<Row> rows;
  while (s.Step()) {
    Row row;
    for (int i = 0; i < static_cast<int>(table.columns.size()); ++i) row.push_back(s.OptionalText(i));
    rows.push_back(std::move(row));
  }
  if (!table.order) std::sort(rows.begin(), rows.end());
  return rows;
}

void WriteTable(Database& db, const Table& table, const std::vector<Row>& rows) {
  std::string sql = std::string("INSERT INTO ") + table.name + "(";
  std::string marks;
  for (std::size_t i = 0; i < table.columns.size(); ++i) {
    sql += std::string(i ? ", " : "") + table.columns[i];
    marks += i ? ", ?" : "?";
  }
  Statement ins = db.Prepare(sql + ") VALUES(" + marks + ")");
  for (const Row& row : rows) {
    for (std::size_t i = 0; i < row.size(); ++i) ins.Bind(static_cast<int>(i + 1), row[i]);
    ins.Queue();
  }
}

std::string Dump(Store& store) {
  std::string out;
  for (const Table& table : Tables()) {
    out += std::string("[") + table.name + "]\n";
    for (const Row& row : ReadTable(store, table)) {
      for (const auto& value : row)
        out += value ? std::to_string(value->size()) + ":" + *value + " " : std::string("NULL ");
      out += '\n';
    }
  }
  return out;
}

}  // namespace

std::string DumpTables(Store& store) {
  ReadTransaction snapshot(store.Db());
  return Dump(store);
}

CopyCounts CopyStore(Store& source, Store& target) {
  if (target.ReadOnly())
    throw Error(ErrorCode::Failed,
                "The target " + target.Db().DisplayName() + " is open read-only. Nothing was copied.");
  ReadTransaction snapshot(source.Db());
  WriteTransaction tx(target.Db());
  const std::int64_t held = target.Db().QueryInt(
      "SELECT (SELECT COUNT(*) FROM notifications) + (SELECT COUNT(*) FROM event_types) + (SELECT COUNT(*) FROM "
      "event_groups) + (SELECT COUNT(*) FROM settings)");
  if (held != 0)
    throw Error(ErrorCode::Failed, "The target " + target.Db().DisplayName() + " is not empty (it holds " +
                                       std::to_string(held) + " rows of notifications, catalogue or settings). " +
                                       "Nothing was copied; copy into a new, empty store.");
  CopyCounts counts;
  for (const Table& table : Tables()) {
    if (table.notificationRows) continue;
    const std::vector<Row> rows = ReadTable(source, table);
    WriteTable(target.Db(), table, rows);
    const std::string name = table.name;
    const int n = static_cast<int>(rows.size());
    if (name == "event_types") counts.eventTypes = n;
    if (name == "settings") counts.settings = n;
  }
  // Each notification with its number, revision and time of saving.
  NotificationWriter writer = target.Writer();
  const std::vector<NotificationRecord> notifications = source.Reader().ReadAll();
  for (const NotificationRecord& r : notifications) writer.WriteLists(writer.Insert(r, true), r, true);
  counts.notifications = static_cast<int>(notifications.size());
  writer.AfterOwnNumbers();
  // Checked through the target's own connection, before the commit: a copy
  // that differs is never left behind.
  if (Dump(target) != Dump(source) || ExportAllJson(target) != ExportAllJson(source))
    throw Error(ErrorCode::Failed, "The copy in " + target.Db().DisplayName() +
                                       " differs from the source after writing. Nothing was copied.");
  tx.Commit();
  return counts;
}

}  // namespace quillmont::store
