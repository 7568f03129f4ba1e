#include "engine/extended_properties.h"

#include "engine/errors.h"

#include <mutex>
#include <optional>

namespace sqlsim {

namespace {

// What a property hangs from, as sys.extended_properties numbers it (class, major_id,
// minor_id) and as fn_listextendedproperty names it (the level types, the namespace and the
// level-1 object).
struct Target {
    int cls = 0;
    int major = 0;
    int minor = 0;
    int ns = 0;
    int l1 = 0;
    std::string l0type, l1type, l2type;
    std::string label; // how messages 15233 and 15217 name it: 'object specified', 'dbo.T.c'
};

struct Args {
    std::optional<Value> name, value;
    std::string level[6]; // type, name of levels 0, 1 and 2
    bool given[6] = {};
};

const char* kLevelNames[6] = {"@level0type", "@level0name", "@level1type",
                              "@level1name", "@level2type", "@level2name"};

[[noreturn]] void invalidParameter(const std::string& proc) {
    throw sqlError(
        15600, "An invalid parameter or option was specified for procedure '" + proc + "'.", 1, 15);
}

// Parameters by name or position: @name[, @value], then the six level parameters.
Args readArgs(const std::string& proc, const std::vector<RpcParam>& params, bool takesValue) {
    std::vector<std::string> order = {"@name"};
    if (takesValue)
        order.push_back("@value");
    for (const char* l : kLevelNames)
        order.emplace_back(l);
    Args a;
    for (size_t k = 0; k < params.size(); ++k) {
        const RpcParam& p = params[k];
        size_t slot = k;
        if (!p.name.empty()) {
            const std::string n = p.name[0] == '@' ? p.name : "@" + p.name;
            slot = order.size();
            for (size_t j = 0; j < order.size(); ++j)
                if (iequals(order[j], n))
                    slot = j;
        }
        if (slot >= order.size())
            invalidParameter(proc);
        if (order[slot] == "@name")
            a.name = p.value;
        else if (order[slot] == "@value")
            a.value = p.value;
        else {
            const size_t l = slot - (takesValue ? 2 : 1);
            a.given[l] = p.value.kind != Value::Kind::Null;
            a.level[l] =
                p.value.kind == Value::Kind::Int ? std::to_string(p.value.i) : p.value.text;
        }
    }
    if (!a.name || a.name->kind == Value::Kind::Null)
        invalidParameter(proc);
    for (int l = 0; l < 6; l += 2) {
        a.level[l] = upper(a.level[l]);
        // A level's type and name come together, and a level needs the one above it.
        if (a.given[l] != a.given[l + 1] || (l > 0 && a.given[l] && !a.given[l - 2]))
            invalidParameter(proc);
    }
    return a;
}

[[noreturn]] void noSuchTarget(const std::string& label) {
    throw sqlError(15135,
                   "Object is invalid. Extended properties are not permitted on '" + label +
                       "', or the object does not exist.",
                   1);
}

Target resolve(Catalog& cat, const Args& a, const std::string& proc) {
    Target t;
    t.label = "object specified";
    if (!a.given[0])
        return t; // the database itself
    t.l0type = a.level[0];
    const std::string& l0 = a.level[1];
    // SCHEMA came with 2005; before it the level-0 objects are users, which own the objects.
    if (t.l0type == "SCHEMA" && cat.major() >= 9) {
        auto ns = cat.namespaceId(l0);
        if (!ns)
            noSuchTarget(l0);
        t.ns = *ns;
        t.cls = 3;
        t.major = *ns;
    } else if (t.l0type == "USER") {
        auto ns = cat.namespaceId(l0);
        auto uid = cat.userId(l0);
        if (!a.given[2]) {
            if (!uid)
                noSuchTarget(l0);
            t.ns = *uid;
            t.cls = 4;
            t.major = *uid;
        } else {
            if (!ns)
                noSuchTarget(l0);
            t.ns = *ns;
        }
    } else if (cat.major() <= 8 || t.l0type == "SCHEMA") {
        // 2000 knows USER and TYPE only.
        invalidParameter(proc);
    } else {
        throw notSupported("extended properties on level-0 objects of type " + t.l0type);
    }
    t.label = l0;
    if (!a.given[2])
        return t;
    t.l1type = a.level[2];
    const std::string& l1 = a.level[3];
    t.label = l0 + "." + l1;
    auto obj = cat.findObject(l1, t.ns);
    const std::string want = t.l1type == "TABLE"       ? "U"
                             : t.l1type == "VIEW"      ? "V"
                             : t.l1type == "PROCEDURE" ? "P"
                             : t.l1type == "FUNCTION"  ? "FN"
                             : t.l1type == "DEFAULT"   ? "D"
                             : t.l1type == "RULE"      ? "R"
                                                       : "";
    if (want.empty())
        throw notSupported("extended properties on level-1 objects of type " + t.l1type);
    if (!obj ||
        !(obj->xtype == want || (want == "FN" && (obj->xtype == "IF" || obj->xtype == "TF"))))
        noSuchTarget(t.label);
    t.cls = 1;
    t.major = t.l1 = obj->id;
    if (!a.given[4])
        return t;
    t.l2type = a.level[4];
    const std::string& l2 = a.level[5];
    t.label += "." + l2;
    if (t.l2type == "COLUMN") {
        for (const ColumnRow& c : cat.columns(obj->id))
            if (iequals(c.name, l2))
                t.minor = c.colid;
        if (!t.minor)
            noSuchTarget(t.label);
    } else if (t.l2type == "CONSTRAINT" || t.l2type == "TRIGGER") {
        auto child = cat.findObject(l2, t.ns);
        const bool kind =
            child && (t.l2type == "TRIGGER"
                          ? child->xtype == "TR"
                          : child->xtype == "PK" || child->xtype == "UQ" || child->xtype == "F" ||
                                child->xtype == "C" || child->xtype == "D");
        if (!kind || child->parent != obj->id)
            noSuchTarget(t.label);
        t.major = child->id;
    } else if (t.l2type == "INDEX") {
        Stmt st(cat.db(), "SELECT indid FROM " + cat.t("sysindexes") +
                              " WHERE id = ? AND name = ? AND indid BETWEEN 1 AND 250");
        st.bind(1, obj->id).bind(2, l2);
        if (!st.step())
            noSuchTarget(t.label);
        t.cls = 7;
        t.minor = static_cast<int>(st.integer(0));
    } else {
        throw notSupported("extended properties on level-2 objects of type " + t.l2type);
    }
    return t;
}

std::optional<long long> existing(Catalog& cat, const Target& t, const std::string& name) {
    Stmt st(cat.db(), "SELECT rowid FROM " + cat.t("sqlsim_xprops") +
                          " WHERE class = ? AND major_id = ? AND minor_id = ? AND name = ?");
    st.bind(1, t.cls).bind(2, t.major).bind(3, t.minor).bind(4, name);
    if (!st.step())
        return std::nullopt;
    return st.integer(0);
}

void bindValue(Stmt& st, int at, const std::optional<Value>& v) {
    if (!v || v->kind == Value::Kind::Null)
        st.bindNull(at);
    else if (v->kind == Value::Kind::Int)
        st.bind(at, static_cast<long long>(v->i));
    else if (v->kind == Value::Kind::Float)
        sqlite3_bind_double(st.get(), at, v->f);
    else
        st.bind(at, v->text);
}

void change(SessionImpl& s, const std::string& proc, const std::vector<RpcParam>& params) {
    const bool add = proc == "sp_addextendedproperty";
    const bool drop = proc == "sp_dropextendedproperty";
    Args a = readArgs(proc, params, !drop);
    const std::string name =
        a.name->kind == Value::Kind::Int ? std::to_string(a.name->i) : a.name->text;
    Catalog cat = s.catalog();
    const Target t = resolve(cat, a, proc);
    const auto row = existing(cat, t, name);
    if (add && row)
        throw sqlError(15233, "Property cannot be added. Property '" + name +
                                  "' already exists for '" + t.label + "'.");
    if (!add && !row)
        throw sqlError(15217, "Property cannot be updated or deleted. Property '" + name +
                                  "' does not exist for '" + t.label + "'.");
    if (add) {
        Stmt st(cat.db(), "INSERT INTO " + cat.t("sqlsim_xprops") +
                              " (class, major_id, minor_id, name, value, ns_id, l1_id, l0type, "
                              "l1type, l2type) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
        st.bind(1, t.cls).bind(2, t.major).bind(3, t.minor).bind(4, name);
        bindValue(st, 5, a.value);
        st.bind(6, t.ns).bind(7, t.l1);
        int at = 8;
        for (const std::string* type : {&t.l0type, &t.l1type, &t.l2type}) {
            if (type->empty())
                st.bindNull(at++);
            else
                st.bind(at++, *type);
        }
        st.step();
    } else if (drop) {
        Stmt st(cat.db(), "DELETE FROM " + cat.t("sqlsim_xprops") + " WHERE rowid = ?");
        st.bind(1, *row);
        st.step();
    } else {
        Stmt st(cat.db(), "UPDATE " + cat.t("sqlsim_xprops") + " SET value = ? WHERE rowid = ?");
        bindValue(st, 1, a.value);
        st.bind(2, *row);
        st.step();
    }
}

} // namespace

bool runExtendedPropertyProcedure(SessionImpl& s, const std::string& lname,
                                  const std::vector<RpcParam>& params, ResultSink& sink,
                                  bool more) {
    if (lname != "sp_addextendedproperty" && lname != "sp_updateextendedproperty" &&
        lname != "sp_dropextendedproperty")
        return false;
    std::lock_guard<std::recursive_mutex> lock(s.engine().ddlMutex);
    change(s, lname, params);
    sink.returnStatus(0);
    sink.done(false, 0, more);
    return true;
}

std::string listExtendedPropertiesSql(const std::vector<std::string>& a) {
    // A level whose type is NULL is not there: the properties of the level above it are
    // listed. A name left NULL lists every object of the level's type.
    auto level = [&](const char* type, const char* name, size_t k) {
        return std::string(" AND ") + type + " IS upper(" + a[k] + ") AND (" + a[k + 1] +
               " IS NULL OR " + name + " = " + a[k + 1] + " COLLATE NOCASE)";
    };
    return "(SELECT objtype AS objtype, objname AS objname, name AS name, value AS value FROM "
           "\"main\".sqlsim_xprop_list WHERE (" +
           a[0] + " IS NULL OR name = " + a[0] + " COLLATE NOCASE)" + level("l0type", "l0name", 1) +
           level("l1type", "l1name", 3) + level("l2type", "l2name", 5) + ")";
}

} // namespace sqlsim
