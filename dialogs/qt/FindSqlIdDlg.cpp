#include "dialogs/qt/FindSqlIdDlg.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace corvid {

CFindSqlIdDlg::CFindSqlIdDlg(QWidget* parent) : QDialog(parent), m_edit(new QLineEdit) {
    setWindowTitle(QStringLiteral("Find SQL ID"));
    m_edit->setMaxLength(64);
    m_edit->setPlaceholderText(QStringLiteral("for example a5ks9fhw2v9s1"));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    m_ok = buttons->button(QDialogButtonBox::Ok);
    connect(buttons, &QDialogButtonBox::accepted, this, &CFindSqlIdDlg::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &CFindSqlIdDlg::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("SQL ID of the statement to select:")));
    layout->addWidget(m_edit);
    layout->addWidget(buttons);
}

void CFindSqlIdDlg::accept() {
    m_sqlId = m_edit->text().trimmed().toStdString();
    QDialog::accept();
}

}  // namespace corvid
