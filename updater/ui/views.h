// The frame's views: the main view, the list of files to update and the result views.
#pragma once
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QWidget>

#include "updater/core/update_items.h"

namespace kvo::updater::ui {

// Title, version, the product and "Check updates" / "Quit".
class CUpdaterView : public QWidget {
    Q_OBJECT
public:
    explicit CUpdaterView(QWidget* parent = nullptr);
    void SetProduct(const QString& tag) { m_pProduct->setText(tag); }
    QLabel* Product() const { return m_pProduct; }
    QPushButton* CheckButton() const { return m_pCheck; }
    QPushButton* QuitButton() const { return m_pQuit; }

private:
    QLabel* m_pProduct;
    QPushButton *m_pCheck, *m_pQuit;
};

// A message with "Quit" and one optional second button (Retry or Reset).
class CResultView : public QWidget {
    Q_OBJECT
public:
    CResultView(const QString& second, QWidget* parent = nullptr);
    void SetText(const QString& text) { m_pText->setText(text); }
    QLabel* Text() const { return m_pText; }
    QPushButton* QuitButton() const { return m_pQuit; }
    QPushButton* SecondButton() const { return m_pSecond; }  // null without one

private:
    QLabel* m_pText;
    QPushButton *m_pQuit, *m_pSecond = nullptr;
};

class CErrorView : public CResultView {
    Q_OBJECT
public:
    explicit CErrorView(QWidget* parent = nullptr);
};
class CAppRunView : public CResultView {
    Q_OBJECT
public:
    explicit CAppRunView(QWidget* parent = nullptr);
};
class CNoUpdatesView : public CResultView {
    Q_OBJECT
public:
    explicit CNoUpdatesView(QWidget* parent = nullptr);
};
// "Reset" shows only when the files wait for a soft reset.
class CDoneView : public CResultView {
    Q_OBJECT
public:
    explicit CDoneView(QWidget* parent = nullptr);
};

// One row per display group with items: check box, label, "%d kb"; the total below.
class CFilesView : public QWidget {
    Q_OBJECT
public:
    explicit CFilesView(QWidget* parent = nullptr);
    void Fill(const CItemList& list, int64_t totalBytes);
    QTreeWidget* List() const { return m_pList; }
    QLabel* Total() const { return m_pTotal; }
    QPushButton* UpdateButton() const { return m_pUpdate; }
    QPushButton* CancelButton() const { return m_pCancel; }

signals:
    void GroupToggled(int group, bool checked);

private:
    QTreeWidget* m_pList;
    QLabel* m_pTotal;
    QPushButton *m_pUpdate, *m_pCancel;
    bool m_bFilling = false;
};

}  // namespace kvo::updater::ui
