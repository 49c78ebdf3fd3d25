#include "dialer/ui/contacts_dlg.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "dialer/dialer_doc.h"
#include "dialer/ui/dialer_ui.h"

namespace kvo::dialer {

CContactsDlg::CContactsDlg(IUserInterface& ui, QWidget* parent) : QDialog(parent), m_ui(ui) {
    setWindowTitle("Contacts");
    m_pContacts = new QTreeWidget;
    m_pContacts->setHeaderLabels({"Firstname", "Lastname", "Company"});
    m_pContacts->setRootIsDecorated(false);
    m_pNumbers = new QTreeWidget;
    m_pNumbers->setHeaderLabels({"Telephone", "Telephonenumber"});
    m_pNumbers->setRootIsDecorated(false);
    CColumnWidths w = CDialerDoc::LoadColumnWidths();
    m_pContacts->setColumnWidth(0, int(w.nFirstName));
    m_pContacts->setColumnWidth(1, int(w.nLastName));
    m_pContacts->setColumnWidth(2, int(w.nCompany));
    m_pNumbers->setColumnWidth(0, int(w.nType));
    m_pNumbers->setColumnWidth(1, int(w.nNumber));

    auto* refresh = new QPushButton("Refresh");
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    buttons->addButton(refresh, QDialogButtonBox::ActionRole);
    connect(refresh, &QPushButton::clicked, this, &CContactsDlg::Refresh);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_pContacts, &QTreeWidget::currentItemChanged, this, &CContactsDlg::ShowNumbers);
    connect(m_pContacts, &QTreeWidget::itemClicked, this, &CContactsDlg::TakeSingle);
    connect(m_pNumbers, &QTreeWidget::itemDoubleClicked, this, &CContactsDlg::accept);

    auto* top = new QVBoxLayout(this);
    top->addWidget(m_pContacts, 3);
    top->addWidget(m_pNumbers, 2);
    top->addWidget(buttons);
    resize(240, 300);
    Refresh();
}

CContactsDlg::~CContactsDlg() {
    CColumnWidths w;
    w.nFirstName = uint32_t(m_pContacts->columnWidth(0));
    w.nLastName = uint32_t(m_pContacts->columnWidth(1));
    w.nCompany = uint32_t(m_pContacts->columnWidth(2));
    w.nType = uint32_t(m_pNumbers->columnWidth(0));
    w.nNumber = uint32_t(m_pNumbers->columnWidth(1));
    CDialerDoc::SaveColumnWidths(w);
}

void CContactsDlg::Refresh() {
    m_pContacts->clear();
    m_pNumbers->clear();
    if (!LoadContacts(m_ui, m_contacts))
        return;
    for (size_t i = 0; i < m_contacts.size(); ++i) {
        const auto& c = m_contacts[i];
        auto* item =
            new QTreeWidgetItem({Q(c.m_strFirstName), Q(c.m_strLastName), Q(c.m_strCompany)});
        item->setData(0, Qt::UserRole, int(i));
        m_pContacts->addTopLevelItem(item);
    }
}

void CContactsDlg::ShowNumbers() {
    m_pNumbers->clear();
    QTreeWidgetItem* item = m_pContacts->currentItem();
    if (!item)
        return;
    const CDialContact& c = m_contacts.at(size_t(item->data(0, Qt::UserRole).toInt()));
    for (const auto& n : c.m_numbers)
        m_pNumbers->addTopLevelItem(new QTreeWidgetItem({Q(n.m_strType), Q(n.m_strNumber)}));
    if (m_pNumbers->topLevelItemCount() > 0)
        m_pNumbers->setCurrentItem(m_pNumbers->topLevelItem(0));
}

void CContactsDlg::TakeSingle(QTreeWidgetItem* item) {
    if (!item)
        return;
    m_pContacts->setCurrentItem(item);
    // A contact with one number needs no second choice.
    std::u16string single =
        SingleNumber(m_contacts.at(size_t(item->data(0, Qt::UserRole).toInt())));
    if (single.empty())
        return;
    m_strChosen = Q(single);
    QDialog::accept();
}

void CContactsDlg::accept() {
    QTreeWidgetItem* n = m_pNumbers->currentItem();
    if (n)
        m_strChosen = n->text(1);
    QDialog::accept();
}

}  // namespace kvo::dialer
