#include "connect/ui/define_app_dlg.h"

#include <QLabel>
#include <QListWidget>
#include <QVBoxLayout>

#include "common/install_dir.h"
#include "connect/dialup/connect_strings.h"
#include "connect/ui/boxes.h"
#include "platform/file.h"
#include "platform/registry.h"
#include "platform/text.h"

namespace kvo::connect::ui {
namespace {

std::u16string AppsKey() {
    return std::u16string(kAppsKey) + u"\\" + LoadString(IDS_KEY_NAME);
}

bool IsProgram(const std::u16string& name) {
    auto endsWith = [&](std::u16string_view ext) {
        return name.size() >= ext.size() &&
               ce::EqualsNoCase(std::u16string_view(name).substr(name.size() - ext.size()), ext);
    };
    return endsWith(u".exe") || endsWith(u".lnk");
}

enum { ROLE_NAME = Qt::UserRole, ROLE_FOLDER };

}  // namespace

CDefineAppDlg::CDefineAppDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle("Define APP");
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel("Double tap the program to start:"));
    m_pPath = new QLabel;
    m_pPath->setWordWrap(true);
    layout->addWidget(m_pPath);
    m_pList = new QListWidget;
    layout->addWidget(m_pList);
    connect(m_pList, &QListWidget::itemDoubleClicked, this, &CDefineAppDlg::Open);
    connect(m_pList, &QListWidget::itemActivated, this, &CDefineAppDlg::Open);
    setFixedWidth(240);
    resize(240, 280);
    ShowFolder(u"\\");
}

void CDefineAppDlg::ShowFolder(const std::u16string& folder) {
    m_strFolder = folder;
    m_pPath->setText(Q(folder));
    m_pList->clear();
    auto add = [&](const QString& text, const std::u16string& name, bool bFolder) {
        auto* item = new QListWidgetItem(text, m_pList);
        item->setData(ROLE_NAME, Q(name));
        item->setData(ROLE_FOLDER, bFolder);
    };
    if (folder != u"\\")
        add("[..]", u"..", true);
    std::vector<ce::FindData> files;
    for (const ce::FindData& f : ce::FindFiles(folder + u"*")) {
        if (f.isDirectory)
            add("[" + Q(f.name) + "]", f.name, true);
        else if (IsProgram(f.name))
            files.push_back(f);
    }
    for (const ce::FindData& f : files) add(Q(f.name), f.name, false);
}

void CDefineAppDlg::Open(QListWidgetItem* item) {
    if (!item)
        return;
    const std::u16string name = U(item->data(ROLE_NAME).toString());
    if (item->data(ROLE_FOLDER).toBool()) {
        if (name == u"..") {
            std::u16string up = m_strFolder.substr(0, m_strFolder.size() - 1);
            ShowFolder(up.substr(0, up.rfind(u'\\') + 1));
        } else {
            ShowFolder(m_strFolder + name + u"\\");
        }
        return;
    }
    if (!ce::RegSetValue(ce::HKEY_LOCAL_MACHINE, AppsKey(), u"myapp",
                         ce::RegValue::Sz(m_strFolder + name))) {
        CBoxes::Show(this, Q(LoadString(IDS_REGISTRY_FAILED)));
        return;
    }
    accept();
}

std::u16string CDefineAppDlg::StoredApp() {
    return ce::RegGetString(ce::HKEY_LOCAL_MACHINE, AppsKey(), u"myapp", u"");
}

}  // namespace kvo::connect::ui
