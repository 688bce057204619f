#pragma once

#include <string>

#include "store/definition_store.h"

// Moving a whole store between files and servers.
namespace quillmont::store {

// Every row of every table of ours, as text in a fixed order: two stores
// hold the same data exactly when their dumps are equal.
std::string DumpTables(Store& store);

struct CopyCounts {
  int notifications = 0;
  int eventTypes = 0;
  int settings = 0;
};

// Copies everything (the catalogue, the notifications with their numbers and
// revisions, the settings) from source, read in one snapshot, into target,
// which must be empty, in one transaction on the target. Before that commits,
// the copy is compared with the source (every table, and the export of every
// notification); any difference, or any error, leaves the target as it was.
CopyCounts CopyStore(Store& source, Store& target);

}  // namespace quillmont::store
