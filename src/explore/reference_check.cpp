#include "explore/reference_check.h"

namespace orv {

namespace {

std::string Key(const std::string& schema, const std::string& name) {
    return UpperName(schema) + '\x1f' + UpperName(name);
}

bool StartsWithNoCase(const std::string& text, const char* prefix) {
    return UpperName(text.substr(0, std::char_traits<char>::length(prefix))) == prefix;
}

// System objects are answered by the server from its own catalog: never reported.
bool IsSystemName(const std::vector<std::string>& parts) {
    const std::string& name = parts.back();
    for (size_t i = 0; i + 1 < parts.size(); ++i) {
        const std::string p = UpperName(parts[i]);
        if (p == "SYS" || p == "INFORMATION_SCHEMA")
            return true;
    }
    // The compatibility tables every database and master answer (sysobjects, ...), and the
    // system procedures found in master by their prefix.
    static const std::set<std::string> tables = {
        "SYSALTFILES",    "SYSCACHEOBJECTS", "SYSCHARSETS",
        "SYSCOLUMNS",     "SYSCOMMENTS",     "SYSCONFIGURES",
        "SYSCONSTRAINTS", "SYSCURCONFIGS",   "SYSDATABASES",
        "SYSDEPENDS",     "SYSDEVICES",      "SYSFILEGROUPS",
        "SYSFILES",       "SYSFOREIGNKEYS",  "SYSFULLTEXTCATALOGS",
        "SYSINDEXES",     "SYSINDEXKEYS",    "SYSLANGUAGES",
        "SYSLOCKINFO",    "SYSLOGINS",       "SYSMEMBERS",
        "SYSMESSAGES",    "SYSOBJECTS",      "SYSOLEDBUSERS",
        "SYSPERFINFO",    "SYSPERMISSIONS",  "SYSPROCESSES",
        "SYSPROTECTS",    "SYSREFERENCES",   "SYSREMOTELOGINS",
        "SYSSERVERS",     "SYSTYPES",        "SYSUSERS",
        "SYSXLOGINS",     "SYSJOBS",         "SYSJOBHISTORY",
        "SYSJOBSTEPS",    "SYSSCHEDULES"};
    return tables.count(UpperName(name)) > 0 || StartsWithNoCase(name, "SP_") ||
           StartsWithNoCase(name, "XP_");
}

// Names a module made up or created for itself.
bool IsLocal(const ModuleReferences& refs, const std::vector<std::string>& parts) {
    if (parts.size() == 1) {
        const std::string upper = UpperName(parts[0]);
        if (upper == "INSERTED" || upper == "DELETED" || refs.LocalNames.count(upper))
            return true;
    }
    // alias.method(...) or alias.column.method(...): not a function of the catalog.
    if (parts.size() >= 2 && refs.LocalNames.count(UpperName(parts[0])))
        return true;
    auto schemaOf = [](const std::vector<std::string>& p) {
        return p.size() >= 2 && !p[p.size() - 2].empty() ? UpperName(p[p.size() - 2]) : "";
    };
    for (const auto& created : refs.CreatedObjects) {
        if (created.empty() || UpperName(created.back()) != UpperName(parts.back()))
            continue;
        const std::string a = schemaOf(created), b = schemaOf(parts);
        if (a.empty() || b.empty() || a == b)
            return true;
    }
    return false;
}

} // namespace

std::string ReferenceFinding::Module() const {
    return ModuleSchema.empty() ? ModuleName : ModuleSchema + "." + ModuleName;
}

CatalogNames::CatalogNames(const DbCatalog& catalog) : database_(catalog.Database) {
    for (ObjectType type : {kTypeTable, kTypeView, kTypeProcedure, kTypeFunction})
        if (const CatalogTypeRead* read = catalog.Find(type))
            for (const CatalogObject& o : read->Objects)
                names_.insert(Key(o.Ref.Schema, o.Ref.Name));
}

bool CatalogNames::Exists(const std::string& schema, const std::string& name) const {
    return names_.count(Key(schema, name)) > 0;
}

const std::vector<ObjectType>& ReferenceCheckTypes() {
    static const std::vector<ObjectType> types = {kTypeTable, kTypeProcedure, kTypeFunction,
                                                  kTypeView, kTypeTrigger};
    return types;
}

bool IsCheckedModuleType(ObjectType type) {
    return type == kTypeProcedure || type == kTypeFunction || type == kTypeView ||
           type == kTypeTrigger;
}

std::vector<ReferenceFinding> CheckModuleText(const CatalogNames& names, ObjectType type,
                                              const std::string& schema, const std::string& name,
                                              const std::string& text) {
    const ModuleReferences refs = FindModuleReferences(text);
    std::vector<ReferenceFinding> out;
    for (const ModuleReference& r : refs.References) {
        const std::vector<std::string>& parts = r.Parts;
        if (parts.empty() || parts.back().empty())
            continue;
        if (parts.back()[0] == '#')
            continue; // #temp and ##temp tables live in tempdb
        if (IsLocal(refs, parts))
            continue;
        bool exists = false;
        bool checkable = true;
        std::string objSchema;
        const std::string& objName = parts.back();
        if (parts.size() == 4) {
            checkable = false;
        } else if (parts.size() == 3) {
            checkable = parts[0].empty() || UpperName(parts[0]) == UpperName(names.Database());
            objSchema = parts[1];
        } else if (parts.size() == 2) {
            objSchema = parts[0];
        }
        if (checkable) {
            // An unqualified name: the default schema dbo, then the module's own schema.
            exists = objSchema.empty()
                         ? names.Exists("dbo", objName) || names.Exists(schema, objName)
                         : names.Exists(objSchema, objName);
            if (exists)
                continue;
        }
        if (IsSystemName(parts))
            continue;
        ReferenceFinding f;
        f.ModuleType = type;
        f.ModuleSchema = schema;
        f.ModuleName = name;
        f.Line = r.Line;
        f.Reference = r.Written;
        f.Reason = checkable ? kReasonMissing : kReasonNotChecked;
        out.push_back(std::move(f));
    }
    return out;
}

std::vector<ReferenceFinding> CheckCatalogReferences(const DbCatalog& catalog,
                                                     const std::string& onlyModule, bool* found,
                                                     const CancelToken* cancel) {
    const CatalogNames names(catalog);
    std::vector<ReferenceFinding> out;
    if (found)
        *found = false;
    const std::string wanted = UpperName(onlyModule);
    for (ObjectType type : ReferenceCheckTypes()) {
        if (!IsCheckedModuleType(type))
            continue;
        const CatalogTypeRead* read = catalog.Find(type);
        if (!read)
            continue;
        for (const CatalogObject& o : read->Objects) {
            if (cancel && cancel->cancelRequested())
                return out;
            if (!wanted.empty() && UpperName(o.Ref.Name) != wanted &&
                UpperName(o.Ref.Schema + "." + o.Ref.Name) != wanted &&
                UpperName(o.ListedName) != wanted)
                continue;
            if (found)
                *found = true;
            if (!o.Readable)
                continue;
            auto more = CheckModuleText(names, type, o.Ref.Schema, o.Ref.Name, o.Text);
            out.insert(out.end(), std::make_move_iterator(more.begin()),
                       std::make_move_iterator(more.end()));
        }
    }
    return out;
}

} // namespace orv
