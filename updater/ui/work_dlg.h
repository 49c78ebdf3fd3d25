// The dialog over the frame while a worker runs: the waiting dialog of the check, the
// progress dialog of a download and the install dialog. Cancel only raises the document's
// flag; the worker stops at its next test and the frame closes the dialog.
#pragma once
#include <QDialog>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>

namespace kvo::updater::ui {

class CWorkDlg : public QDialog {
    Q_OBJECT
public:
    enum Mode { WAIT, PROGRESS, INSTALL };
    explicit CWorkDlg(QWidget* parent = nullptr);
    void SetMode(Mode mode);
    Mode CurrentMode() const { return m_mode; }
    void SetStatus(const QString& text);
    void SetProduct(const QString& tag) { m_pUpdating->setText(tag); }
    void SetPercent(int percent) { m_pBar->setValue(percent); }
    QLabel* Line1() const { return m_pLine1; }
    QLabel* Line2() const { return m_pLine2; }
    QProgressBar* Bar() const { return m_pBar; }
    QPushButton* CancelButton() const { return m_pCancel; }

signals:
    void CancelRequested();

protected:
    // Escape and the close box mean Cancel, never a dialog gone while its worker runs.
    void reject() override;

private:
    Mode m_mode = WAIT;
    QLabel *m_pLine1, *m_pLine2, *m_pUpdatingLabel, *m_pUpdating;
    QProgressBar* m_pBar;
    QPushButton* m_pCancel;
};

}  // namespace kvo::updater::ui
