// One piece of the document's network work (check, update, self-update) on its own thread.
// The window polls Finished() on its timer rather than being called back from the thread.
#pragma once
#include <atomic>
#include <functional>
#include <thread>

#include "updater/core/updater_doc.h"

namespace kvo::updater::ui {

class CWorker {
public:
    ~CWorker() { Join(); }
    void Start(std::function<UpdaterEnd()> job) {
        Join();
        m_bFinished = false;
        m_thread = std::thread([this, job = std::move(job)] {
            m_end = job();
            m_bFinished.store(true, std::memory_order_release);
        });
    }
    bool Running() const { return m_thread.joinable(); }
    bool Finished() const { return m_bFinished.load(std::memory_order_acquire); }
    // The job's end once Finished(); joins the thread.
    UpdaterEnd Take() {
        Join();
        return m_end;
    }
    void Join() {
        if (m_thread.joinable())
            m_thread.join();
    }

private:
    std::thread m_thread;
    std::atomic<bool> m_bFinished{false};
    UpdaterEnd m_end = UpdaterEnd::Error;  // published by m_bFinished
};

}  // namespace kvo::updater::ui
