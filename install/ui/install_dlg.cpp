#include "install/ui/install_dlg.h"

#include <QApplication>
#include <QEventLoop>
#include <QHBoxLayout>
#include <QMessageBox>
#include <QVBoxLayout>
#include <deque>
#include <mutex>

namespace kvo::install::ui {
namespace {

QString Q(const std::string& s) {
    return QString::fromStdString(s);
}
QString Q(const std::u16string& s) {
    return QString::fromUtf16(s.data(), static_cast<qsizetype>(s.size()));
}

std::mutex g_mutex;
bool g_bTest = false;
std::deque<bool> g_answers;
std::vector<QString> g_shown;

const char kCaption[] = "kvonet pro";

}  // namespace

void CEventLoopClock::SleepMs(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

void CBoxes::MessageBox(const std::u16string& text, const std::u16string&) {
    {
        std::lock_guard lock(g_mutex);
        g_shown.push_back(Q(text));
        if (g_bTest)
            return;
    }
    QMessageBox::information(m_pParent, kCaption, Q(text));
}

bool CBoxes::Ask(const std::u16string& question) {
    {
        std::lock_guard lock(g_mutex);
        g_shown.push_back(Q(question));
        if (g_bTest) {
            if (g_answers.empty())
                return false;
            bool answer = g_answers.front();
            g_answers.pop_front();
            return answer;
        }
    }
    return QMessageBox::question(m_pParent, kCaption, Q(question),
                                 QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}

void CBoxes::SetStatus(const std::u16string& text) {
    if (m_pStatus)
        m_pStatus->setText(Q(text));
}

void CBoxes::SetTestMode(bool on) {
    std::lock_guard lock(g_mutex);
    g_bTest = on;
    g_answers.clear();
    g_shown.clear();
}

void CBoxes::PresetAnswers(std::vector<bool> answers) {
    std::lock_guard lock(g_mutex);
    g_answers.assign(answers.begin(), answers.end());
}

std::vector<QString> CBoxes::Shown() {
    std::lock_guard lock(g_mutex);
    return g_shown;
}

CInstallDlg::CInstallDlg(std::filesystem::path installerDir, IClock& clock, Language language,
                         QWidget* parent)
    : QDialog(parent),
      m_dir(std::move(installerDir)),
      m_clock(clock),
      m_language(language),
      m_boxes(this) {
    auto* layout = new QVBoxLayout(this);
    // The page's title also inside the page: a window manager may not show captions.
    m_pTitle = new QLabel(this);
    QFont big = m_pTitle->font();
    big.setBold(true);
    big.setPointSizeF(big.pointSizeF() * 1.3);
    m_pTitle->setFont(big);
    layout->addWidget(m_pTitle);
    m_pStack = new QStackedWidget(this);
    layout->addWidget(m_pStack);

    auto* languagePage = new QWidget(m_pStack);
    auto* lp = new QVBoxLayout(languagePage);
    m_pPrompt = new QLabel(languagePage);
    m_pPrompt->setWordWrap(true);
    m_pLanguages = new QListWidget(languagePage);
    for (Language l : LanguageChoices()) {
        auto* row = new QListWidgetItem(Q(LanguageName(language, l)), m_pLanguages);
        row->setData(Qt::UserRole, int(l));
        if (l == language)
            m_pLanguages->setCurrentItem(row);
    }
    lp->addWidget(m_pPrompt);
    lp->addWidget(m_pLanguages);
    m_pStack->addWidget(languagePage);

    m_pInfo = new QLabel(m_pStack);
    m_pInfo->setWordWrap(true);
    m_pInfo->setAlignment(Qt::AlignTop | Qt::AlignLeft);
    m_pStack->addWidget(m_pInfo);

    m_pLicence = new QPlainTextEdit(m_pStack);
    m_pLicence->setReadOnly(true);
    m_pStack->addWidget(m_pLicence);

    m_pWaitText = new QLabel(m_pStack);
    m_pWaitText->setWordWrap(true);
    m_pWaitText->setAlignment(Qt::AlignCenter);
    m_pStack->addWidget(m_pWaitText);
    m_boxes.SetStatusLabel(m_pWaitText);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    m_pNext = new QPushButton(this);
    m_pCancel = new QPushButton(this);
    buttons->addWidget(m_pNext);
    buttons->addWidget(m_pCancel);
    layout->addLayout(buttons);
    m_pNext->setDefault(true);

    connect(m_pLanguages, &QListWidget::currentItemChanged, this, [this](QListWidgetItem* row) {
        if (row)
            SetLanguage(Language(row->data(Qt::UserRole).toInt()));
    });
    connect(m_pNext, &QPushButton::clicked, this, &CInstallDlg::Next);
    connect(m_pCancel, &QPushButton::clicked, this, &CInstallDlg::CancelPage);
    m_tick.setInterval(CConnectionWait::kTickMs);
    connect(&m_tick, &QTimer::timeout, this, &CInstallDlg::Tick);
    resize(400, 320);
    Retranslate();
}

CInstallDlg::~CInstallDlg() = default;

void CInstallDlg::SetLanguage(Language language) {
    m_language = language;
    Retranslate();
}

void CInstallDlg::Retranslate() {
    static const Text titles[] = {Text::LanguageTitle, Text::InfoTitle, Text::LicenceTitle,
                                  Text::WaitTitle};
    setWindowTitle(Q(LoadText(m_language, titles[m_pStack->currentIndex()])));
    m_pTitle->setText(windowTitle());
    m_pPrompt->setText(Q(LoadText(m_language, Text::LanguagePrompt)));
    for (int i = 0; i < m_pLanguages->count(); ++i) {
        QListWidgetItem* row = m_pLanguages->item(i);
        row->setText(Q(LanguageName(m_language, Language(row->data(Qt::UserRole).toInt()))));
    }
    m_pInfo->setText(Q(LoadText(m_language, Text::InfoText)));
    m_pLicence->setPlainText(Q(LoadText(m_language, Text::LicenceText)));
    if (!m_pWait)
        m_pWaitText->setText(Q(LoadText(m_language, Text::WaitText)));
    m_pNext->setText(Q(LoadText(m_language, Text::Next)));
    m_pCancel->setText(Q(LoadText(m_language, Text::Cancel)));
}

void CInstallDlg::ShowPage(Page page) {
    m_pStack->setCurrentIndex(page);
    m_pNext->setVisible(page != PAGE_WAIT);
    Retranslate();
}

void CInstallDlg::Next() {
    Page page = CurrentPage();
    if (page != PAGE_LICENCE) {
        ShowPage(Page(page + 1));
        return;
    }
    ShowPage(PAGE_WAIT);
    m_pWait = std::make_unique<CConnectionWait>(m_boxes, m_language);
    if (m_pWait->Begin() == CConnectionWait::State::Failed) {
        Finish(false);
        return;
    }
    m_tick.start();
}

void CInstallDlg::Tick() {
    if (!m_pWait)
        return;
    switch (m_pWait->Tick()) {
        case CConnectionWait::State::Waiting:
            return;
        case CConnectionWait::State::Failed:
            Finish(false);
            return;
        case CConnectionWait::State::Connected:
            break;
    }
    m_tick.stop();
    m_pCancel->setEnabled(false);
    QApplication::processEvents();
    m_pInstaller = std::make_unique<CInstaller>(m_boxes, m_clock, m_dir, m_language);
    m_bInstalling = true;
    m_outcome = m_pInstaller->Run();
    m_bInstalling = false;
    Finish(*m_outcome == InstallOutcome::Installed);
}

void CInstallDlg::reject() {
    if (!m_bInstalling)
        CancelPage();
}

void CInstallDlg::CancelPage() {
    if (m_pWait)
        m_pWait->Cancel();
    Finish(false);
}

void CInstallDlg::Finish(bool ok) {
    m_tick.stop();
    emit Ended();
    done(ok ? Accepted : Rejected);
}

}  // namespace kvo::install::ui
