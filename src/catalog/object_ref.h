// Which object of a database is meant: what a listing gives of it, on one side of a comparison.
#pragma once

#include <cstdint>
#include <string>

namespace orv {

// One object as the bulk reader found it on one side.
struct ObjectRef {
    int32_t Id = 0;
    std::string Schema;   // the owner on a 2000 server
    std::string Name;     // the catalog name, without the schema
    std::string Modified; // the listing's date as the object list shows it; may be empty
};

} // namespace orv
