#include "servers/command_parameters.h"

#include "util/prompter.h"

#include <chrono>
#include <cstdio>
#include <random>

namespace orv {

namespace {

std::string FieldTypeName(const FieldValue& v) {
    switch (v.kind) {
    case FieldValue::Kind::Null:
    case FieldValue::Kind::DateTime:
        return "Date";
    case FieldValue::Kind::Integer:
        return v.integer >= INT32_MIN && v.integer <= INT32_MAX ? "Long" : "LongLong";
    case FieldValue::Kind::Float:
        return "Double";
    case FieldValue::Kind::Bool:
        return "Boolean";
    case FieldValue::Kind::Text:
        return "String";
    case FieldValue::Kind::Decimal:
        return "Decimal";
    case FieldValue::Kind::Binary:
        return "Byte()";
    }
    return "Unknown";
}

// The text of a number between 0 and 1 from a generator seeded afresh from the clock.
std::string RandomSuffix() {
    static std::mt19937 gen;
    gen.seed(static_cast<unsigned>(std::chrono::steady_clock::now().time_since_epoch().count() &
                                   0xFFFFFFFFu));
    std::uniform_real_distribution<double> dist(0.0, 1.0);
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.7f", dist(gen));
    return buf;
}

} // namespace

std::string CommandValueTypeName(const CommandValue& value) {
    struct Visitor {
        std::string operator()(std::monostate) const { return "Empty"; }
        std::string operator()(const std::string&) const { return "String"; }
        std::string operator()(int32_t) const { return "Long"; }
        std::string operator()(double) const { return "Double"; }
        std::string operator()(bool) const { return "Boolean"; }
        std::string operator()(const FieldValue& f) const { return FieldTypeName(f); }
    };
    return std::visit(Visitor{}, value);
}

std::string AppendCommandParameter(Command& command, const CommandValue& value, int32_t direction,
                                   bool* unsupported) {
    if (unsupported)
        *unsupported = false;
    if (std::holds_alternative<std::monostate>(value))
        return {};
    const std::string typeName = CommandValueTypeName(value);
    FieldValue v;
    if (const auto* f = std::get_if<FieldValue>(&value))
        v = *f;
    else if (const auto* s = std::get_if<std::string>(&value))
        v = FieldValue::Str(*s);
    else if (const auto* i = std::get_if<int32_t>(&value))
        v = FieldValue::Int(*i);
    else if (const auto* d = std::get_if<double>(&value))
        v = FieldValue::Real(*d);
    else if (const auto* b = std::get_if<bool>(&value))
        v = FieldValue::Boolean(*b);

    CommandParameter p;
    p.direction = direction;
    if (typeName == "String") {
        p.name = "str";
        p.adoType = kAdVarWChar;
        const auto len = static_cast<int64_t>(v.text.size());
        const bool outgoing =
            direction == 0 || direction == kAdParamOutput || direction == kAdParamInputOutput;
        p.size = outgoing ? (len > 255 ? len : 255) : (len > 0 ? len : 1);
        p.value = v;
    } else if (typeName == "Long") {
        p.name = "lng";
        p.adoType = kAdInteger;
        p.value = v.integer == -1 ? FieldValue::Null() : FieldValue::Int(v.integer);
    } else if (typeName == "Double") {
        p.name = "dbl";
        p.adoType = kAdDouble;
        p.value = v.real == -1.0 ? FieldValue::Null() : v;
    } else if (typeName == "Boolean") {
        p.name = "bln";
        p.adoType = kAdBoolean;
        p.value = v;
    } else if (typeName == "Date") {
        p.name = "dtm";
        p.adoType = kAdDate;
        p.value = v;
    } else {
        // Ending the program here would lose the user's work for a value it merely cannot pass.
        if (unsupported)
            *unsupported = true;
        CurrentPrompter().MessageBox(MsgIcon::Error, "AppendCommandParameter",
                                     "Data Type " + typeName + " not currently handled");
        return {};
    }
    p.name += RandomSuffix();
    command.parameters.push_back(p);
    return p.name;
}

CommandValue CommandValueOf(const CommandParameter& parameter) {
    const FieldValue& v = parameter.value;
    if (v.IsNull())
        return v;
    switch (parameter.adoType) {
    case kAdVarWChar:
        return v.Text();
    case kAdInteger:
        return static_cast<int32_t>(v.Long());
    case kAdDouble:
        return v.kind == FieldValue::Kind::Float ? v.real : static_cast<double>(v.Long());
    case kAdBoolean:
        return v.Long() != 0;
    default:
        return v;
    }
}

} // namespace orv
