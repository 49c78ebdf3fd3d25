// "Define APP": browse the handheld's folders for the program the Today item's right-hand
// zone starts, stored as "myapp".
#pragma once
#include <QDialog>
#include <string>

class QLabel;
class QListWidget;
class QListWidgetItem;

namespace kvo::connect::ui {

class CDefineAppDlg : public QDialog {
    Q_OBJECT
public:
    explicit CDefineAppDlg(QWidget* parent = nullptr);

    // Lists `folder` (a handheld path ending in a backslash).
    void ShowFolder(const std::u16string& folder);
    const std::u16string& Folder() const { return m_strFolder; }
    QListWidget* List() const { return m_pList; }
    // A double tap: enters a folder, or stores a file as "myapp" and closes.
    void Open(QListWidgetItem* item);

    // The stored program, empty when none.
    static std::u16string StoredApp();

private:
    std::u16string m_strFolder;
    QLabel* m_pPath;
    QListWidget* m_pList;
};

}  // namespace kvo::connect::ui
