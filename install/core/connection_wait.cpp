#include "install/core/connection_wait.h"

#include "platform/text.h"

namespace kvo::install {

CConnectionWait::~CConnectionWait() {
    if (m_state == State::Waiting)
        Release();
}

CConnectionWait::State CConnectionWait::Begin() {
    m_nTicks = 0;
    m_state = State::Waiting;
    m_ui.SetStatus(ce::FromUtf8(LoadText(m_language, Text::WaitText)));
    m_init = {};
    if (ce::CeRapiInitEx(m_init) < 0) {
        m_ui.MessageBox(ce::FromUtf8(LoadText(m_language, Text::NoConnection)));
        m_state = State::Failed;
        return m_state;
    }
    m_bInitialised = true;
    return m_state;
}

CConnectionWait::State CConnectionWait::Tick() {
    if (m_state != State::Waiting)
        return m_state;
    ce::CeRapiPoll(m_init);
    if (m_init.bSignalled) {
        if (m_init.hrRapiInit >= 0) {
            m_state = State::Connected;
        } else {
            m_ui.MessageBox(ce::FromUtf8(LoadText(m_language, Text::NoConnection)));
            Release();
            m_state = State::Failed;
        }
        return m_state;
    }
    if (++m_nTicks > kMaxTicks) {
        m_nTicks = 0;
        std::u16string question = ce::FromUtf8(LoadText(m_language, Text::TryAgain));
        m_ui.SetStatus(question);
        if (!m_ui.Ask(question)) {
            Release();
            m_state = State::Failed;
            return m_state;
        }
        m_ui.SetStatus(ce::FromUtf8(LoadText(m_language, Text::WaitText)));
    }
    return m_state;
}

void CConnectionWait::Cancel() {
    if (m_state == State::Waiting) {
        Release();
        m_state = State::Failed;
    }
}

void CConnectionWait::Release() {
    if (m_bInitialised)
        ce::CeRapiUninit();
    m_bInitialised = false;
}

}  // namespace kvo::install
