// Module steps of a deployment: drops of modules only in the target (dependents first), the
// schema-bound modules a table change had to drop created again, changed modules altered in
// place (their permissions stay) or dropped and created when their kind changed, new ones
// created; views, functions and procedures in dependency order, triggers last.
#include "catalog/module_header.h"
#include "deploy/deploy_plan.h"

#include "catalog/sql_quote.h"
#include "explore/module_references.h"

#include <algorithm>
#include <map>
#include <queue>

namespace orv {
namespace {

bool IsNameChar(char c) {
    unsigned char u = static_cast<unsigned char>(c);
    return std::isalnum(u) || c == '_' || c == '@' || c == '#' || c == '$' || u >= 0x80;
}

// Where the first word of the text starts, past blanks and comments (block comments nest).
size_t FirstWord(const std::string& text) {
    size_t i = 0;
    while (i < text.size()) {
        char c = text[i];
        if (std::isspace(static_cast<unsigned char>(c))) {
            ++i;
        } else if (c == '-' && i + 1 < text.size() && text[i + 1] == '-') {
            i = text.find('\n', i);
            if (i == std::string::npos)
                return text.size();
        } else if (c == '/' && i + 1 < text.size() && text[i + 1] == '*') {
            int depth = 0;
            while (i < text.size()) {
                if (text.compare(i, 2, "/*") == 0) {
                    ++depth;
                    i += 2;
                } else if (text.compare(i, 2, "*/") == 0) {
                    i += 2;
                    if (--depth == 0)
                        break;
                } else {
                    ++i;
                }
            }
        } else {
            return i;
        }
    }
    return i;
}

// The order a kind is written in when nothing else decides: views, functions, procedures.
int KindRank(ModuleKind kind) {
    switch (kind) {
    case ModuleKind::View:
        return 0;
    case ModuleKind::ScalarFunction:
    case ModuleKind::InlineFunction:
    case ModuleKind::TableFunction:
        return 1;
    case ModuleKind::Procedure:
        return 2;
    default:
        return 3;
    }
}

std::string Shown(const ModuleDef& m) {
    return BracketName(m.Schema) + "." + BracketName(m.Name);
}

std::string KindWord(const ModuleDef& m) {
    std::string word = ModuleKindKeyword(m.Kind);
    for (char& c : word)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return word;
}

// What a function turned into, for the step that drops its old kind.
std::string KindDescription(ModuleKind kind) {
    switch (kind) {
    case ModuleKind::ScalarFunction:
        return "scalar function";
    case ModuleKind::InlineFunction:
        return "inline table-valued function";
    case ModuleKind::TableFunction:
        return "table-valued function";
    default: {
        std::string word = ModuleKindKeyword(kind);
        for (char& c : word)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        return word;
    }
    }
}

std::string Capitalized(std::string text) {
    if (!text.empty())
        text[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(text[0])));
    return text;
}

PlanStep DropStep(const ModuleDef& m) {
    return {"Drop " + KindWord(m) + " " + Shown(m),
            std::string("DROP ") + ModuleKindKeyword(m.Kind) + " " + QualifiedSql(m.Schema, m.Name),
            false, ""};
}

// The keys of the modules of `model` a module uses, among `within`: what the dependency
// catalog says, and what its text names (an unqualified name found in the module's own schema
// first, then in dbo).
std::vector<std::string> UsedKeys(const ModuleDef& m, const std::set<std::string>& within) {
    std::vector<std::string> used;
    auto add = [&](const std::string& key) {
        if (within.count(key) && key != NameKey(m.Schema, m.Name) &&
            std::find(used.begin(), used.end(), key) == used.end())
            used.push_back(key);
    };
    auto addNamed = [&](const std::string& schema, const std::string& name) {
        if (!schema.empty()) {
            add(NameKey(schema, name));
        } else {
            std::string own = NameKey(m.Schema, name);
            add(within.count(own) ? own : NameKey("dbo", name));
        }
    };
    for (const auto& dep : m.DependsOn)
        addNamed(dep.first, dep.second);
    for (const ModuleReference& r : FindModuleReferences(m.Text).References) {
        if (!r.Parts.empty())
            addNamed(r.Parts.size() >= 2 ? r.Parts[r.Parts.size() - 2] : "", r.Parts.back());
    }
    return used;
}

// The modules in an order where each comes after those it uses; ties by kind, then as given.
// Modules in a cycle keep the given order and are named in `cycle`.
std::vector<const ModuleDef*> DependencyOrder(const std::vector<const ModuleDef*>& modules,
                                              std::vector<std::string>& cycle) {
    std::set<std::string> keys;
    std::map<std::string, size_t> index;
    for (size_t i = 0; i < modules.size(); ++i) {
        keys.insert(NameKey(modules[i]->Schema, modules[i]->Name));
        index[NameKey(modules[i]->Schema, modules[i]->Name)] = i;
    }
    std::vector<std::vector<size_t>> users(modules.size());
    std::vector<int> waiting(modules.size(), 0);
    for (size_t i = 0; i < modules.size(); ++i) {
        for (const std::string& key : UsedKeys(*modules[i], keys)) {
            users[index[key]].push_back(i);
            ++waiting[i];
        }
    }
    using Entry = std::pair<int, size_t>; // rank, position
    std::priority_queue<Entry, std::vector<Entry>, std::greater<Entry>> ready;
    for (size_t i = 0; i < modules.size(); ++i) {
        if (waiting[i] == 0)
            ready.push({KindRank(modules[i]->Kind), i});
    }
    std::vector<const ModuleDef*> order;
    std::vector<bool> placed(modules.size(), false);
    while (!ready.empty()) {
        size_t i = ready.top().second;
        ready.pop();
        order.push_back(modules[i]);
        placed[i] = true;
        for (size_t u : users[i]) {
            if (--waiting[u] == 0)
                ready.push({KindRank(modules[u]->Kind), u});
        }
    }
    for (size_t i = 0; i < modules.size(); ++i) {
        if (!placed[i]) {
            cycle.push_back(Shown(*modules[i]));
            order.push_back(modules[i]);
        }
    }
    return order;
}

// The step that creates or alters the module from its text, under its current name: a module
// renamed with sp_rename still names its old self in its text.
PlanStep WriteStep(const ModuleDef& m, bool isAlter) {
    // Quoted as SQL: the shown name leaves a "]" inside a name as it is.
    const std::string text =
        WithCurrentName(m.Text, QuoteCatalogName(m.Schema) + "." + QuoteCatalogName(m.Name));
    return {Capitalized((isAlter ? "alter " : "create ") + KindWord(m)) + " " + Shown(m),
            isAlter ? CreateToAlter(text) : text, false, ""};
}

bool SameKindFamily(const ModuleDef& a, const ModuleDef& b) {
    return a.Kind == b.Kind;
}

} // namespace

std::string CreateToAlter(const std::string& text) {
    size_t at = FirstWord(text);
    if (text.size() - at < 6)
        return text;
    std::string word = text.substr(at, 6);
    for (char& c : word)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (word != "CREATE" || (at + 6 < text.size() && IsNameChar(text[at + 6])))
        return text;
    return text.substr(0, at) + "ALTER" + text.substr(at + 6);
}

void PlanModules(const DeployInput& input, const std::set<std::string>& recreate,
                 DeployPlan& plan) {
    const SchemaModel& source = *input.Source;
    const SchemaModel& target = *input.Target;
    std::vector<const ModuleDef*> drops;  // only in the target
    std::vector<const ModuleDef*> writes; // created or altered, from the source
    std::set<std::string> alter;          // keys of writes that are ALTERs
    std::set<std::string> kindChanged;    // keys dropped and created again
    std::set<std::string> dropping;       // keys of every target module dropped
    for (const DeployObject& o : input.Included) {
        if (!IsModuleType(o.Type))
            continue;
        const ModuleDef* t = target.FindModule(o.Schema, o.Name);
        const ModuleDef* s = source.FindModule(o.Schema, o.Name);
        std::string key = NameKey(o.Schema, o.Name);
        if (o.Status == PairStatus::OnlyInTarget) {
            if (t && t->Kind != ModuleKind::Other) {
                drops.push_back(t);
                dropping.insert(key);
            }
            continue;
        }
        if (!s || s->Kind == ModuleKind::Other) {
            plan.Warnings.push_back("Not deployed: " + GetObjectTypeName(o.Type, true) + " " +
                                    BracketName(o.Schema) + "." + BracketName(o.Name) +
                                    " was not found in the source as a module a script can write.");
            continue;
        }
        if (s->Encrypted || s->Text.empty()) {
            plan.Warnings.push_back("Not deployed: " + KindWord(*s) + " " + Shown(*s) +
                                    (s->Encrypted ? " is encrypted in the source."
                                                  : " has no definition in the source."));
            continue;
        }
        writes.push_back(s);
        if (t && !SameKindFamily(*s, *t)) {
            kindChanged.insert(key);
            dropping.insert(key);
        } else if (t && !recreate.count(key)) {
            alter.insert(key);
        }
    }
    // Schema-bound modules on a changed table, and the schema-bound ones that use them, go
    // before the table changes; those not dropped for good come back from the source when
    // they are deployed, else as the target had them.
    std::set<std::string> unbind = recreate;
    for (bool grew = true; grew;) {
        grew = false;
        for (const ModuleDef& m : target.Modules) {
            std::string key = NameKey(m.Schema, m.Name);
            if (!m.SchemaBound || unbind.count(key))
                continue;
            for (const std::string& used : UsedKeys(m, unbind)) {
                (void)used;
                unbind.insert(key);
                grew = true;
                break;
            }
        }
    }
    std::vector<const ModuleDef*> unbound;
    for (const ModuleDef& m : target.Modules) {
        std::string key = NameKey(m.Schema, m.Name);
        if (!unbind.count(key) || (dropping.count(key) && !kindChanged.count(key)))
            continue;
        unbound.push_back(&m);
        alter.erase(key);
        bool written = std::any_of(writes.begin(), writes.end(), [&](const ModuleDef* w) {
            return NameKey(w->Schema, w->Name) == key;
        });
        if (!written) {
            if (m.Text.empty() || m.Encrypted) {
                plan.Warnings.push_back("Cannot change the tables under " + KindWord(m) + " " +
                                        Shown(m) +
                                        ": it is bound to their schema and its definition "
                                        "cannot be read, so it could not be created again.");
                continue;
            }
            writes.push_back(&m);
        }
    }
    std::vector<std::string> cycle;
    // Drops: the modules that use others go first.
    std::vector<const ModuleDef*> dropOrder = DependencyOrder(drops, cycle);
    std::reverse(dropOrder.begin(), dropOrder.end());
    std::stable_partition(dropOrder.begin(), dropOrder.end(),
                          [](const ModuleDef* m) { return m->Kind == ModuleKind::Trigger; });
    for (const ModuleDef* m : dropOrder)
        plan.ModuleDrops.push_back(DropStep(*m));
    std::vector<const ModuleDef*> unbindOrder = DependencyOrder(unbound, cycle);
    std::reverse(unbindOrder.begin(), unbindOrder.end());
    for (const ModuleDef* m : unbindOrder)
        plan.Unblock.push_back(DropStep(*m));

    std::vector<const ModuleDef*> plain, triggers;
    for (const ModuleDef* m : writes)
        (m->Kind == ModuleKind::Trigger ? triggers : plain).push_back(m);
    std::vector<std::string> writeCycle;
    for (const ModuleDef* m : DependencyOrder(plain, writeCycle)) {
        std::string key = NameKey(m->Schema, m->Name);
        if (kindChanged.count(key) &&
            std::none_of(unbound.begin(), unbound.end(),
                         [&](const ModuleDef* u) { return NameKey(u->Schema, u->Name) == key; })) {
            const ModuleDef* old = target.FindModule(m->Schema, m->Name);
            PlanStep drop = DropStep(*old);
            const std::string kind = KindDescription(m->Kind);
            drop.Name +=
                std::string(" (it becomes ") + (kind[0] == 'i' ? "an " : "a ") + kind + ")";
            plan.Modules.push_back(drop);
        }
        plan.Modules.push_back(WriteStep(*m, alter.count(key) > 0));
    }
    for (const ModuleDef* m : triggers) {
        std::string key = NameKey(m->Schema, m->Name);
        plan.Triggers.push_back(WriteStep(*m, alter.count(key) > 0));
    }
    cycle.insert(cycle.end(), writeCycle.begin(), writeCycle.end());
    if (!cycle.empty()) {
        std::string names;
        for (const std::string& n : cycle)
            names += (names.empty() ? "" : ", ") + n;
        plan.Warnings.push_back("These modules use each other in a cycle; they are written in "
                                "the order of the comparison: " +
                                names + ".");
    }
}

} // namespace orv
