#pragma once

#include <QDialog>
#include <string>

class QLineEdit;
class QPushButton;

namespace corvid {

// "Find SQL ID": asks for the SQL ID of the statement to select in the list.
class CFindSqlIdDlg : public QDialog {
    Q_OBJECT
public:
    explicit CFindSqlIdDlg(QWidget* parent = nullptr);

    // The text of the box as the last OK left it, blanks around it removed.
    const std::string& GetSqlId() const { return m_sqlId; }

    QLineEdit* SqlIdEdit() const { return m_edit; }
    QPushButton* OkButton() const { return m_ok; }

public slots:
    void accept() override;

private:
    std::string m_sqlId;
    QLineEdit* m_edit;
    QPushButton* m_ok;
};

}  // namespace corvid
