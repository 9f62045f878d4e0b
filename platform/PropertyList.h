#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// A property-list dictionary in memory, read from and written to the XML
// property-list form through libplist. This is the stand-in for the phone's
// mutable dictionary with initWithContentsOfFile: and writeToFile:atomically:.
//
// Integer values are read leniently, as the phone's dictionaries do when asked
// for an integer value: a number (integer or real) or a string of digits both
// answer; anything else gives the caller's default.
class PropertyList {
public:
    PropertyList();  // an empty dictionary
    ~PropertyList();
    PropertyList(PropertyList&& other) noexcept;
    PropertyList& operator=(PropertyList&& other) noexcept;
    PropertyList(const PropertyList&) = delete;
    PropertyList& operator=(const PropertyList&) = delete;

    // The dictionary stored in the file, or nothing when the file is missing,
    // unreadable, not a property list, or its root is not a dictionary. A
    // list nested deeper than PropertyListDepth allows is refused as well,
    // with one line on standard error saying so.
    static std::optional<PropertyList> readFromFile(const std::string& path);
    static std::optional<PropertyList> fromXml(const std::string& xml);

    // Writes the whole dictionary as XML: into a temporary file in the same
    // directory, flushed to disk, then renamed over the target, so a reader
    // never sees half a file. Returns false when any step fails; the target
    // is then unchanged.
    bool writeToFile(const std::string& path) const;
    std::string toXml() const;

    bool contains(const std::string& key) const;
    void remove(const std::string& key);
    std::size_t size() const;
    // Every key of the dictionary, in no particular order.
    std::vector<std::string> keys() const;

    // Integer value of a number or of a string holding a (signed) decimal
    // integer; `fallback` when absent or not convertible.
    std::int64_t integerValue(const std::string& key, std::int64_t fallback = 0) const;
    // Floating-point value of a number or of a numeric string.
    double doubleValue(const std::string& key, double fallback = 0.0) const;
    // The string value; numbers are given in decimal; nothing for other types.
    std::optional<std::string> stringValue(const std::string& key) const;
    // The bytes of a data value; nothing for other types.
    std::optional<std::string> dataValue(const std::string& key) const;
    // The bytes of a libplist node (plist_t) of type data; nothing for a null
    // node or any other type. For readers that walk a tree themselves.
    static std::optional<std::string> dataOf(void* node);

    void setInteger(const std::string& key, std::int64_t value);
    void setDouble(const std::string& key, double value);
    void setString(const std::string& key, const std::string& value);
    void setData(const std::string& key, const std::string& bytes);

private:
    explicit PropertyList(void* dict);
    // The bytes of a file (`origin` names it in the line on standard error).
    static std::optional<PropertyList> parse(const std::string& xml, const std::string& origin);
    // Takes a tree read from the binary form and gives it as the XML reader
    // reads its XML form; null when that fails.
    static void* throughXml(void* tree);
    // Takes `dict` and gives a copy in which every key appears once.
    static void* withUniqueKeys(void* dict);
    void* dict_;  // plist_t of type PLIST_DICT, owned
};
