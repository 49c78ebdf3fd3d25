// The intranet wizard: proxies, login and addressing, name servers and APN on three pages.
#pragma once
#include <QDialog>

#include "connect/dialup/intranet_settings.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QStackedWidget;

namespace kvo::connect::ui {

class CIntranetWizard : public QDialog {
    Q_OBJECT
public:
    explicit CIntranetWizard(const CIntranetSettings& s, QWidget* parent = nullptr);

    int Page() const;
    void SetPage(int page);
    void Next();  // Finish on the last page
    void Back();  // cancels on the first page
    void reject() override { Back(); }

    // The settings as finished: switches "yes"/"no", proxies with their ports.
    const CIntranetSettings& Result() const { return m_result; }
    // True when finishing asked for the intranet login hint.
    bool ShowedHint() const { return m_bHint; }

    enum EField {
        HTTP_HOST,
        HTTP_PORT,
        WAP_HOST,
        WAP_PORT,
        SOCKS_HOST,
        SOCKS_PORT,
        PROXY_USER,
        PROXY_PASSWORD,
        IP,
        DNS,
        ALTDNS,
        WINS,
        ALTWINS,
        APN,
        FIELD_COUNT
    };
    QLineEdit* Field(EField f) const { return m_fields[f]; }
    QCheckBox* ProxyBox() const { return m_pProxy; }

private:
    void Finish();
    void UpdateButtons();

    CIntranetSettings m_result;
    bool m_bHint = false;
    QLabel* m_pStep;
    QStackedWidget* m_pPages;
    QPushButton* m_pBack;
    QPushButton* m_pNext;
    QLineEdit* m_fields[FIELD_COUNT];
    QCheckBox *m_pInternet, *m_pProxy, *m_pSlip, *m_pCompressSw, *m_pCompressHd;
    QRadioButton *m_pSocks4, *m_pSocks5;
};

}  // namespace kvo::connect::ui
