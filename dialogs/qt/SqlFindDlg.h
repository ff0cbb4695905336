#pragma once

#include <QDialog>

#include "collection/SimilarityOptions.h"

class QCheckBox;
class QLabel;
class QPushButton;

namespace corvid {

// "Find similar SQL statements": the two options of a similarity search and a
// note on what confirming does.
class CSqlFindDlg : public QDialog {
    Q_OBJECT
public:
    explicit CSqlFindDlg(QWidget* parent = nullptr);

    // The options read from the check boxes by the last OK; both off before.
    const SimilarityOptions& GetOptions() const { return m_options; }

    QCheckBox* CaseSensitiveBox() const { return m_caseSensitive; }
    QCheckBox* AllCommandTypesBox() const { return m_allCommandTypes; }
    QLabel* NoteLabel() const { return m_note; }
    QPushButton* OkButton() const { return m_ok; }
    QPushButton* CancelButton() const { return m_cancel; }

    static const char* const kNote;

public slots:
    void accept() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    SimilarityOptions m_options;
    QCheckBox* m_caseSensitive;
    QCheckBox* m_allCommandTypes;
    QLabel* m_note;
    QPushButton* m_ok;
    QPushButton* m_cancel;
};

}  // namespace corvid
