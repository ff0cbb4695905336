#include "dialogs/qt/ExportDlg.h"

#include <QButtonGroup>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "platform/Services.h"

namespace corvid {

namespace {

// The field takes at most the limit, except that a stored text that is already
// longer is shown whole (the check on OK then names the limit).
void SetLimitedText(QLineEdit* edit, const std::string& text) {
    const QString value = QString::fromStdString(text);
    edit->setMaxLength(std::max<int>(kExportFieldMaxChars, value.size()));
    edit->setText(value);
}

}  // namespace

CExportDlg::CExportDlg(QWidget* parent)
    : QDialog(parent),
      m_formats(new QButtonGroup(this)),
      m_name(new QLineEdit),
      m_file(new QLineEdit),
      m_ok(new QPushButton(tr("OK"))),
      m_cancel(new QPushButton(tr("Cancel"))) {
    setWindowTitle("Export");

    auto* target = new QGroupBox("Target");
    auto* targetLayout = new QVBoxLayout(target);
    const char* const labels[] = {"Export as HTML Table", "Export as XML File", "Export as CSV File"};
    for (int i = 0; i < 3; ++i) {
        auto* button = new QRadioButton(labels[i]);
        m_formats->addButton(button, i);
        targetLayout->addWidget(button);
    }

    auto* options = new QGroupBox("Options");
    auto* optionsLayout = new QGridLayout(options);
    auto* nameLabel = new QLabel("Export name:");
    auto* fileLabel = new QLabel("Export file:");
    nameLabel->setBuddy(m_name);
    fileLabel->setBuddy(m_file);
    m_name->setMaxLength(kExportFieldMaxChars);
    m_file->setMaxLength(kExportFieldMaxChars);
    m_name->setMinimumWidth(260);
    optionsLayout->addWidget(nameLabel, 0, 0);
    optionsLayout->addWidget(m_name, 0, 1);
    optionsLayout->addWidget(fileLabel, 1, 0);
    optionsLayout->addWidget(m_file, 1, 1);

    auto* groups = new QVBoxLayout;
    groups->addWidget(target);
    groups->addWidget(options);
    groups->addStretch();

    auto* buttons = new QVBoxLayout;
    m_ok->setDefault(true);
    buttons->addWidget(m_ok);
    buttons->addWidget(m_cancel);
    buttons->addStretch();

    auto* layout = new QHBoxLayout(this);
    layout->addLayout(groups);
    layout->addLayout(buttons);

    setTabOrder(m_formats->button(2), m_name);
    setTabOrder(m_name, m_file);
    setTabOrder(m_file, m_ok);
    setTabOrder(m_ok, m_cancel);

    connect(m_ok, &QPushButton::clicked, this, &CExportDlg::accept);
    connect(m_cancel, &QPushButton::clicked, this, &CExportDlg::reject);
}

QRadioButton* CExportDlg::FormatButton(int index) const {
    return qobject_cast<QRadioButton*>(m_formats->button(index));
}

void CExportDlg::SetSettings(const SExportSettings& settings) {
    m_settings = settings;
    // An exclusive group cannot uncheck its last button, so it lets go for a moment.
    m_formats->setExclusive(false);
    for (QAbstractButton* button : m_formats->buttons())
        button->setChecked(false);
    m_formats->setExclusive(true);
    if (QRadioButton* button = FormatButton(settings.formatIndex)) button->setChecked(true);
    SetLimitedText(m_name, settings.name);
    SetLimitedText(m_file, settings.fileName);
}

void CExportDlg::accept() {
    SExportSettings read;
    read.formatIndex = m_formats->checkedId();
    read.name = m_name->text().toStdString();
    read.fileName = m_file->text().toStdString();
    if (const std::string message = ValidateExportSettings(read); !message.empty()) {
        GetPrompter().Message(message, IPrompter::Kind::Warning);
        QLineEdit* over = m_name->text().size() > kExportFieldMaxChars ? m_name : m_file;
        over->setFocus();
        over->selectAll();
        return;
    }
    m_settings = read;
    QDialog::accept();
}

}  // namespace corvid
