#include "error_texts.h"

#include <utility>

namespace kvo {

void CErrorTexts::Add(const std::u16string& text) {
    std::lock_guard lock(m_mutex);
    if (m_strErrors.find(text) != std::u16string::npos) return;
    if (!m_strErrors.empty()) m_strErrors += u"\n---\n";
    m_strErrors += text;
    m_bIndicated = true;
}

void CErrorTexts::Clear() {
    std::lock_guard lock(m_mutex);
    m_strErrors.clear();
    m_bIndicated = false;
}

std::u16string CErrorTexts::Take() {
    std::lock_guard lock(m_mutex);
    m_bIndicated = false;
    return std::exchange(m_strErrors, {});
}

std::u16string CErrorTexts::Text() const {
    std::lock_guard lock(m_mutex);
    return m_strErrors;
}

}  // namespace kvo
