#include "recorded_call.h"

#include <algorithm>
#include <cstdio>

namespace fake {

Value::Value(float v) : kind_(Kind::Float) {
    uint32_t bits;
    std::memcpy(&bits, &v, sizeof bits);
    integer_ = bits;
}

Value::Value(double v) : kind_(Kind::Double) {
    std::memcpy(&integer_, &v, sizeof v);
}

Value Value::text(const std::string& s) {
    Value v;
    v.kind_ = Kind::Text;
    v.text_ = s;
    return v;
}

float Value::asFloat() const {
    uint32_t bits = static_cast<uint32_t>(integer_);
    float v;
    std::memcpy(&v, &bits, sizeof v);
    return v;
}

double Value::asDouble() const {
    double v;
    std::memcpy(&v, &integer_, sizeof v);
    return v;
}

bool operator==(const Value& a, const Value& b) {
    return a.kind_ == b.kind_ && a.integer_ == b.integer_ && a.text_ == b.text_;
}

std::ostream& operator<<(std::ostream& out, const Value& v) {
    char buffer[64];
    switch (v.kind_) {
    case Value::Kind::Integer:
        if (v.integer_ > 0xFFFF || v.integer_ < -0xFFFF)
            std::snprintf(buffer, sizeof buffer, "0x%llx", static_cast<unsigned long long>(v.integer_));
        else
            std::snprintf(buffer, sizeof buffer, "%lld", static_cast<long long>(v.integer_));
        break;
    case Value::Kind::Pointer:
        if (v.integer_ == 0)
            std::snprintf(buffer, sizeof buffer, "NULL");
        else
            std::snprintf(buffer, sizeof buffer, "(handle)0x%llx",
                          static_cast<unsigned long long>(v.integer_));
        break;
    case Value::Kind::Float:
        // Nine significant digits tell any two floats apart.
        std::snprintf(buffer, sizeof buffer, "%.9gf", static_cast<double>(v.asFloat()));
        break;
    case Value::Kind::Double:
        std::snprintf(buffer, sizeof buffer, "%.17g", v.asDouble());
        break;
    case Value::Kind::Text:
        return out << '"' << v.text_ << '"';
    }
    return out << buffer;
}

bool operator==(const Call& a, const Call& b) {
    return a.name == b.name && a.args == b.args;
}

std::ostream& operator<<(std::ostream& out, const Call& c) {
    out << c.name << '(';
    for (size_t i = 0; i < c.args.size(); ++i)
        out << (i ? ", " : "") << c.args[i];
    return out << ')';
}

Call call(const std::string& name, std::initializer_list<Value> args) {
    Call c;
    c.name = name;
    c.args = args;
    return c;
}

std::vector<Call> only(const std::vector<Call>& calls, const std::set<std::string>& names) {
    std::vector<Call> kept;
    std::copy_if(calls.begin(), calls.end(), std::back_inserter(kept),
                 [&](const Call& c) { return names.count(c.name) != 0; });
    return kept;
}

std::vector<Call> without(const std::vector<Call>& calls, const std::set<std::string>& names) {
    std::vector<Call> kept;
    std::copy_if(calls.begin(), calls.end(), std::back_inserter(kept),
                 [&](const Call& c) { return names.count(c.name) == 0; });
    return kept;
}

std::vector<std::string> namesOf(const std::vector<Call>& calls) {
    std::vector<std::string> names;
    for (const Call& c : calls)
        names.push_back(c.name);
    return names;
}

size_t indexOf(const std::vector<Call>& calls, const std::string& name, size_t from) {
    for (size_t i = from; i < calls.size(); ++i)
        if (calls[i].name == name)
            return i;
    return calls.size();
}

size_t lastIndexOf(const std::vector<Call>& calls, const std::string& name) {
    for (size_t i = calls.size(); i-- > 0;)
        if (calls[i].name == name)
            return i;
    return calls.size();
}

size_t countOf(const std::vector<Call>& calls, const std::string& name) {
    return static_cast<size_t>(
        std::count_if(calls.begin(), calls.end(), [&](const Call& c) { return c.name == name; }));
}

} // namespace fake
