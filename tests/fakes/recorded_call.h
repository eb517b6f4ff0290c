// One call made by the code under test, with its arguments kept exactly as
// passed, so that expected sequences can be written as tables and compared
// bit for bit.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <ostream>
#include <set>
#include <string>
#include <vector>

namespace fake {

// An argument: an integer of any width (widened to 64 bits), a handle or
// pointer, a 32-bit or 64-bit float, or a text. Values of different kinds are
// never equal, so 1.0f does not match 1.0 and a handle does not match an int.
class Value {
  public:
    enum class Kind { Integer, Pointer, Float, Double, Text };

    Value(int v) : kind_(Kind::Integer), integer_(v) {}
    Value(unsigned v) : kind_(Kind::Integer), integer_(v) {}
    Value(long v) : kind_(Kind::Integer), integer_(v) {}
    Value(unsigned long v) : kind_(Kind::Integer), integer_(static_cast<int64_t>(v)) {}
    Value(long long v) : kind_(Kind::Integer), integer_(v) {}
    Value(unsigned long long v) : kind_(Kind::Integer), integer_(static_cast<int64_t>(v)) {}
    Value(float v);
    Value(double v);
    Value(std::nullptr_t) : kind_(Kind::Pointer), integer_(0) {}
    template <class T>
    Value(T* p) : kind_(Kind::Pointer), integer_(static_cast<int64_t>(reinterpret_cast<uintptr_t>(p))) {}
    // Texts must be asked for with text(), so that a string is never taken
    // for a pointer by accident.
    Value(const char*) = delete;

    static Value text(const std::string& s);

    Kind kind() const { return kind_; }
    int64_t integer() const { return integer_; }
    float asFloat() const;
    double asDouble() const;
    const std::string& str() const { return text_; }

    friend bool operator==(const Value& a, const Value& b);
    friend bool operator!=(const Value& a, const Value& b) { return !(a == b); }
    friend std::ostream& operator<<(std::ostream& out, const Value& v);

  private:
    Value() = default;

    Kind kind_ = Kind::Integer;
    int64_t integer_ = 0; // integers, pointers, and the bits of floats
    std::string text_;
};

struct Call {
    std::string name;
    std::vector<Value> args;
    // The bytes of a record passed by pointer (class, pixel format request,
    // display mode), copied when the call was made.
    std::vector<unsigned char> record;
    // The rendering context that was current when the call was made.
    const void* context = nullptr;

    template <class T> T recordAs() const {
        T value;
        std::memset(&value, 0, sizeof value);
        std::memcpy(&value, record.data(), record.size() < sizeof value ? record.size() : sizeof value);
        return value;
    }
};

// Name and arguments; the record and the context are checked separately.
bool operator==(const Call& a, const Call& b);
inline bool operator!=(const Call& a, const Call& b) {
    return !(a == b);
}
std::ostream& operator<<(std::ostream& out, const Call& c);

Call call(const std::string& name, std::initializer_list<Value> args = {});

// The calls whose names are in the set, in their order.
std::vector<Call> only(const std::vector<Call>& calls, const std::set<std::string>& names);
// The calls with none of the names in the set.
std::vector<Call> without(const std::vector<Call>& calls, const std::set<std::string>& names);
std::vector<std::string> namesOf(const std::vector<Call>& calls);
// Position of the first call with that name, or calls.size().
size_t indexOf(const std::vector<Call>& calls, const std::string& name, size_t from = 0);
// Position of the last call with that name, or calls.size().
size_t lastIndexOf(const std::vector<Call>& calls, const std::string& name);
size_t countOf(const std::vector<Call>& calls, const std::string& name);

} // namespace fake
