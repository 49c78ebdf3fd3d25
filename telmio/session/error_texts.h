// Errors of a session are collected, not shown, and read by the user on request.
#pragma once
#include <atomic>
#include <mutex>
#include <string>

namespace kvo {

class CErrorTexts {
public:
    // Appends text unless it is already there; "\n---\n" between two texts.
    void Add(const std::u16string& text);
    // Empties the collection and switches the indication off.
    void Clear();
    // What the user sees on opening the indication; empties it like Clear.
    std::u16string Take();
    std::u16string Text() const;
    bool Indicated() const { return m_bIndicated.load(); }

private:
    mutable std::mutex m_mutex;
    std::u16string m_strErrors;
    std::atomic<bool> m_bIndicated{false};
};

}  // namespace kvo
