// The installer's window: the language, information, licence and connection-wait pages in
// turn, then the installation itself. Every text follows the language picked on page one.
#pragma once
#include <QDialog>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStackedWidget>
#include <QTimer>
#include <filesystem>
#include <memory>
#include <optional>

#include "common/user_interface.h"
#include "install/core/clock.h"
#include "install/core/connection_wait.h"
#include "install/core/installer.h"

namespace kvo::install::ui {

// Waits with the window alive: the packages take minutes, and the window keeps painting.
class CEventLoopClock : public CSystemClock {
public:
    void SleepMs(int ms) override;
};

// Message boxes of the installer; tests record them and preset the answers.
class CBoxes : public IUserInterface {
public:
    explicit CBoxes(QWidget* parent) : m_pParent(parent) {}
    void MessageBox(const std::u16string& text, const std::u16string& caption = {}) override;
    bool Ask(const std::u16string& question) override;
    void SetStatus(const std::u16string& text) override;
    void SetProgress(int, int) override {}
    void SetStatusLabel(QLabel* label) { m_pStatus = label; }

    static void SetTestMode(bool on);
    static void PresetAnswers(std::vector<bool> answers);
    static std::vector<QString> Shown();

private:
    QWidget* m_pParent;
    QLabel* m_pStatus = nullptr;
};

class CInstallDlg : public QDialog {
    Q_OBJECT
public:
    enum Page { PAGE_LANGUAGE, PAGE_INFO, PAGE_LICENCE, PAGE_WAIT };

    CInstallDlg(std::filesystem::path installerDir, IClock& clock, Language language,
                QWidget* parent = nullptr);
    ~CInstallDlg() override;

    void SetLanguage(Language language);
    Language CurrentLanguage() const { return m_language; }
    Page CurrentPage() const { return Page(m_pStack->currentIndex()); }
    // Shows a page without its side effects (pictures).
    void ShowPage(Page page);
    // One tick of the connection wait, as the 1000 ms timer calls it.
    void Tick();
    std::optional<InstallOutcome> Outcome() const { return m_outcome; }
    const CInstaller* Installer() const { return m_pInstaller.get(); }

    QListWidget* Languages() const { return m_pLanguages; }
    QPushButton* NextButton() const { return m_pNext; }
    QPushButton* CancelButton() const { return m_pCancel; }
    QLabel* WaitText() const { return m_pWaitText; }
    const QTimer& TickTimer() const { return m_tick; }

signals:
    void Ended();

protected:
    // Escape and the close box are Cancel; while the packages run there is none.
    void reject() override;

private:
    void Next();
    void CancelPage();
    void Retranslate();
    void Finish(bool ok);

    std::filesystem::path m_dir;
    IClock& m_clock;
    Language m_language;
    QStackedWidget* m_pStack;
    QLabel *m_pTitle, *m_pPrompt, *m_pInfo, *m_pWaitText;
    QListWidget* m_pLanguages;
    QPlainTextEdit* m_pLicence;
    QPushButton *m_pNext, *m_pCancel;
    CBoxes m_boxes;
    QTimer m_tick;
    std::unique_ptr<CConnectionWait> m_pWait;
    std::unique_ptr<CInstaller> m_pInstaller;
    std::optional<InstallOutcome> m_outcome;
    bool m_bInstalling = false;
};

}  // namespace kvo::install::ui
