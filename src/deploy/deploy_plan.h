// The planner's working parts, shared by the files that write a deployment's steps: the steps
// of each phase, the warnings, and the names as statements write them.
#pragma once

#include "deploy/deploy_script.h"
#include "deploy/schema_model.h"

#include <set>
#include <string>
#include <vector>

namespace orv {

struct PlanStep {
    std::string Name; // "Alter table [dbo].[Orders]: add column [Notes]"
    std::string Sql;  // one batch
    // Held back (data loss not allowed, a column that cannot be added): written as a comment
    // with the reason, never run.
    bool LeftOut = false;
    std::string Reason;
};

// The phases in the order the script runs them.
struct DeployPlan {
    std::vector<PlanStep> Schemas;
    std::vector<PlanStep> ModuleDrops;  // only-in-target modules, dependents first
    std::vector<PlanStep> Drops;        // foreign keys and tables only in the target
    std::vector<PlanStep> Unblock;      // foreign keys and schema-bound modules in the way
    std::vector<PlanStep> TableChanges; // in place
    std::vector<PlanStep> NewTables;
    std::vector<PlanStep> Constraints; // keys, indexes, CHECKs, defaults
    std::vector<PlanStep> ForeignKeys;
    std::vector<PlanStep> Modules; // views, functions, procedures by dependency
    std::vector<PlanStep> Triggers;
    std::vector<std::string> Warnings;
};

// "[schema].[name]", each part bracketed with "]" doubled.
std::string QualifiedSql(const std::string& schema, const std::string& name);
// "N'text'" with apostrophes doubled.
std::string UnicodeLiteral(const std::string& text);
// "1,234".
std::string CountText(int64_t n);

// A name key for sets and maps: "SCHEMA.NAME" in upper case.
std::string NameKey(const std::string& schema, const std::string& name);
std::string ObjectKey(const DeployObject& object);

// Table changes: the included tables of `input` (changed, new and, when included as only in
// the target, dropped), their foreign keys and the foreign keys and schema-bound modules that
// stand in the way. `recreateModules` receives the target modules dropped to unblock a table,
// to be created again among the modules.
void PlanTables(const DeployInput& input, DeployPlan& plan, std::set<std::string>& recreateModules);

// Module steps (drops of only-in-target modules, changed and new modules in dependency order,
// triggers last), together with the modules `recreateModules` names.
void PlanModules(const DeployInput& input, const std::set<std::string>& recreateModules,
                 DeployPlan& plan);

} // namespace orv
