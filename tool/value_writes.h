// Whole values of one key, of any type, and writes of several of them that
// are undone together when one fails. Window-free, so that every way a write
// can fail is tested natively against a fake key.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct RegValue {
    std::uint32_t type = 0;  // REG_NONE
    std::vector<std::uint8_t> data;
    bool operator==(const RegValue& o) const { return type == o.type && data == o.data; }
    bool operator!=(const RegValue& o) const { return !(*this == o); }
};

RegValue DwordValue(std::uint32_t value);

// The named values of one key, as the writes below use them.
class NamedValues {
public:
    virtual ~NamedValues() = default;
    // Absent values read as nullopt; a value that cannot be read throws ToolError.
    virtual std::optional<RegValue> Read(const wchar_t* name) const = 0;
    // Empty when written (or, for Remove, when gone already); else the reason.
    virtual std::string Write(const wchar_t* name, const RegValue& value) = 0;
    virtual std::string Remove(const wchar_t* name) = 0;

protected:
    NamedValues() = default;
    NamedValues(const NamedValues&) = default;
    NamedValues& operator=(const NamedValues&) = default;
};

// Writes values in order. When one fails, the values written before it get
// their earlier contents back, last first, and ToolError tells what happened,
// so a failed command leaves the key as it found it.
class ValueWrites {
public:
    explicit ValueWrites(NamedValues& key) : m_key(key) {}
    void Set(const wchar_t* name, const RegValue& value);
    void Remove(const wchar_t* name);

private:
    struct Earlier {
        const wchar_t* name;
        std::optional<RegValue> value;
    };
    void Apply(const wchar_t* name, const std::optional<RegValue>& value);
    [[noreturn]] void Fail(const std::string& message);
    std::string Restore(const Earlier& earlier);

    NamedValues& m_key;
    std::vector<Earlier> m_done;
};

// restore's swap, once the replaced value is in the history: FavoriteArray
// takes the backup (and check the marker it loads with, when given), then
// FavoriteArrayBackup takes the replaced value, or goes when there was none.
// Every moment of it leaves each of the two in at least one value.
void SwapInBackup(NamedValues& key, const RegValue& backup, const std::optional<RegValue>& replaced,
                  std::optional<std::uint32_t> marker);
