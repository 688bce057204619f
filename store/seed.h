#pragma once

#include "store/definition_store.h"

namespace quillmont::store {

// Fills a new database with the event catalogue of a network-monitoring
// system (15 groups, about 200 event types) and two sample notifications,
// all in one transaction. Does nothing to a database that has event types.
void SeedDatabase(Store& store);

}  // namespace quillmont::store
