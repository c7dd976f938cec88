#pragma once
// CJsonHolder: the message the map host posts to the page, built from an
// ordered map of keys, so the members always arrive in ascending key order
// whatever order they were inserted in. Each entry carries the separator
// written after it (the last one none), which is how the message ends with
// `"val_end":""` and nothing after it.
//
// Values are written between double quotes. Quotes, backslashes and control
// characters in a value are escaped, so no value can break the message; the
// texts the map host sends (numbers and status words) contain none.
//
// Used by the map dialog on the UI thread; not shared between threads.

#include <map>
#include <string>
#include <utility>

namespace trivexa {

class CJsonHolder {
public:
    void Clear() { entries_.clear(); }
    // Sets `key` (replacing an earlier value of the same key).
    void Insert(std::string key, std::string value, std::string separator);
    bool Empty() const { return entries_.empty(); }
    // '{', then per key in ascending order: "key":"value" and the entry's
    // separator, then '}'.
    std::string Text() const;

private:
    // Ordinal order of the keys' bytes: for ASCII keys the order of their
    // characters.
    std::map<std::string, std::pair<std::string, std::string>> entries_;
};

}  // namespace trivexa
