// Waiting for the handheld: the Remote API is started once and polled on 1000 ms ticks; after
// more than 10 ticks without an answer the user is asked whether to go on waiting.
#pragma once
#include <string>

#include "common/user_interface.h"
#include "install/core/install_texts.h"
#include "platform/rapi.h"

namespace kvo::install {

class CConnectionWait {
public:
    enum class State { Waiting, Connected, Failed };
    static constexpr int kTickMs = 1000;
    static constexpr int kMaxTicks = 10;

    // The page's text goes to ui.SetStatus; messages and the question to the ui too.
    CConnectionWait(IUserInterface& ui, Language language) : m_ui(ui), m_language(language) {}
    ~CConnectionWait();
    // Starts the Remote API; Failed (after the no-connection message) when it cannot start.
    State Begin();
    // One tick of the page's timer.
    State Tick();
    // The page's Cancel: releases the Remote API unless the wait already ended.
    void Cancel();
    State Current() const { return m_state; }
    int Ticks() const { return m_nTicks; }

private:
    void Release();
    IUserInterface& m_ui;
    Language m_language;
    ce::RAPIINIT m_init;
    State m_state = State::Waiting;
    bool m_bInitialised = false;
    int m_nTicks = 0;
};

}  // namespace kvo::install
