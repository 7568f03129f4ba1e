// A whole-database comparison as a saved comparison process (one numbered section of the
// comparisons INI file), in the same keys the single-pair comparison saves.
//
// The values chosen for the whole-database kinds:
//   CompType        1   a structure comparison, as for a single pair
//   CompSubType     10  Compare All Objects
//                   20  bulk: every object of one type
//                   30  selective: the objects picked in the two lists
//                   (35 stays the single pair)
//   CompSubSubType  0   simple report, 1 details report
//   EncObjTypes     the seven-flag text with a 1 for every compared type
//   TableName1/2    empty, ObjId1/2 "0" (no single object)
//   SelCompCountSource/Target  the number of objects picked in each list (selective; 0 else)
//   SelCompSource<n>/SelCompTarget<n>  "<type code>,<object id>,<name as listed>" per pick
//   ExportFilePath/ExportType  the file last exported from the results window (empty, 0: none)
//   Print           "True" when the results were printed from the window before saving
#pragma once

#include "dbcompare/db_compare.h"
#include "ui/main/frm_report_saved_comp.h"

#include <string>
#include <vector>

namespace orv {

// The seven-flag text with a 1 for each of `types`.
std::string ObjectTypesFlagText(const std::vector<ObjectType>& types);

// "<type code>,<object id>,<name as listed>"; the name goes last, as it may hold commas.
std::string CheckedObjectText(const SelectedObject& object);

ComparisonDescription DescribeDbCompare(const DbCompareResults& results,
                                        const std::vector<SelectedObject> (&selected)[2],
                                        const std::string& exportPath, bool printed);

} // namespace orv
