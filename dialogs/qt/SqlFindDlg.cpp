#include "dialogs/qt/SqlFindDlg.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace corvid {

const char* const CSqlFindDlg::kNote =
    "Please note, that after confirming this dialog you will return to the list of sql commands and see them sorted "
    "by distance from the selected entry in ascending order.\nThe selected sql command will be the first in the "
    "list and the most similar one will be the next one and so on.\nThe column Distance will identify the "
    "'distance' from the selected sql statement and constantly grow, the less similar the sql statements are.\n\nIf "
    "you want to return to the regular view, please uncheck the menu option 'Find similar SQL statements...' or its "
    "toolbar button.";

CSqlFindDlg::CSqlFindDlg(QWidget* parent)
    : QDialog(parent),
      m_caseSensitive(new QCheckBox("Compare in case sensitive mode")),
      m_allCommandTypes(new QCheckBox("Compare all command types")),
      m_note(new QLabel),
      m_ok(new QPushButton(tr("OK"))),
      m_cancel(new QPushButton(tr("Cancel"))) {
    setWindowTitle("Find similar SQL statements");

    auto* options = new QGroupBox("Options");
    auto* optionsLayout = new QVBoxLayout(options);
    optionsLayout->addWidget(m_caseSensitive);
    optionsLayout->addWidget(m_allCommandTypes);

    m_note->setWordWrap(true);
    m_note->setMinimumWidth(380);
    m_note->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    auto* left = new QVBoxLayout;
    left->addWidget(options);
    left->addWidget(m_note, 1);

    auto* buttons = new QVBoxLayout;
    m_ok->setDefault(true);
    buttons->addWidget(m_ok);
    buttons->addWidget(m_cancel);
    buttons->addStretch();

    auto* layout = new QHBoxLayout(this);
    layout->addLayout(left, 1);
    layout->addLayout(buttons);

    connect(m_ok, &QPushButton::clicked, this, &CSqlFindDlg::accept);
    connect(m_cancel, &QPushButton::clicked, this, &CSqlFindDlg::reject);
}

void CSqlFindDlg::showEvent(QShowEvent* event) {
    m_note->setText(QString::fromUtf8(kNote));
    // The dialog was sized for an empty note before this event; size it again
    // for the wrapped text before it reaches the screen.
    layout()->activate();
    adjustSize();
    QDialog::showEvent(event);
}

void CSqlFindDlg::accept() {
    m_options.m_CaseSensitive = m_caseSensitive->isChecked();
    m_options.m_AllCommandTypes = m_allCommandTypes->isChecked();
    QDialog::accept();
}

}  // namespace corvid
