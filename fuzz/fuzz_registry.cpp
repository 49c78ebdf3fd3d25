// The registry file, both ways. Parsing: a result or an error, never neither; what parses
// passes the writer's name check and formats to text that parses again to the same tree.
// Writing: a tree built from the input with any names is either refused by the check or
// comes back from its text the same, so no accepted change can make a hive unreadable.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/registry.h"
#include "platform/text.h"

namespace {

class Input {
public:
    Input(const uint8_t* data, size_t size) : m_data(data), m_size(size) {}
    bool More() const { return m_pos < m_size; }
    uint8_t Byte() { return m_pos < m_size ? m_data[m_pos++] : 0; }
    std::u16string Text() {
        std::u16string s(Byte() % 8, u' ');
        for (auto& c : s) c = static_cast<char16_t>(Byte() | (Byte() << 8));
        return s;
    }
    std::vector<uint8_t> Bytes() {
        std::vector<uint8_t> b(Byte() % 40);
        for (auto& c : b) c = Byte();
        return b;
    }

private:
    const uint8_t* m_data;
    size_t m_size;
    size_t m_pos = 0;
};

void ParseMode(std::string_view text) {
    ce::RegKey root;
    std::string error;
    if (!ce::ParseRegText(text, ce::HKEY_CURRENT_USER, "user.reg", root, error)) {
        if (error.rfind("user.reg:", 0) != 0) abort();
        return;
    }
    if (!ce::CheckRegTree(root, ce::HKEY_CURRENT_USER, error)) abort();  // would brick writes
    std::string once = ce::FormatRegText(root, ce::HKEY_CURRENT_USER);
    ce::RegKey again;
    if (!ce::ParseRegText(once, ce::HKEY_CURRENT_USER, "user.reg", again, error)) abort();
    if (!(again == root)) abort();
    if (ce::FormatRegText(again, ce::HKEY_CURRENT_USER) != once) abort();
}

void WriteMode(Input in) {
    ce::RegKey root;
    ce::Hive hive = in.Byte() & 1 ? ce::HKEY_LOCAL_MACHINE : ce::HKEY_CURRENT_USER;
    while (in.More()) {
        std::u16string path = in.Text();
        if (in.Byte() & 1) path += u"\\" + in.Text();
        std::u16string name = in.Text();
        ce::RegValue value;
        uint8_t kind = in.Byte();
        if (kind % 4 == 0) {
            value = ce::RegValue::Sz(in.Text());
        } else {
            value.type = kind % 4 == 1 ? ce::REG_DWORD : kind;
            value.data = in.Bytes();
        }
        auto& slot = root.Find(path, true)->values[ce::FoldCase(name)];
        slot.name = name;
        slot.value = std::move(value);
    }
    std::string error;
    if (!ce::CheckRegTree(root, hive, error)) {
        if (error.empty()) abort();
        return;
    }
    std::string text = ce::FormatRegText(root, hive);
    ce::RegKey again;
    if (!ce::ParseRegText(text, hive, "f", again, error)) abort();
    if (!(again == root)) abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // Text that starts like a hive is parsed; anything else builds a tree to write.
    std::string_view text(reinterpret_cast<const char*>(data), size);
    if (size == 0 || data[0] == 'W' || data[0] == 0xEF) {
        ParseMode(text);
    } else {
        WriteMode(Input(data, size));
    }
    return 0;
}
