#include "dialogs/qt/ConnectDlg.h"

#include <QApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "dialogs/ServerHistory.h"
#include "oracle/OracleConnection.h"
#include "platform/Services.h"
#include "platform/SettingsStore.h"
#include "platform/qt/WaitCursor.h"

namespace corvid {

namespace {

QString FromStd(const std::string& text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// Limits typing to `limit` characters; a longer remembered value is kept and
// reported by the validation on Connect.
void LimitText(QLineEdit* edit, int limit) {
    if (edit->text().size() <= limit) edit->setMaxLength(limit);
}

}  // namespace

CConnectDlg::CConnectDlg(COracleConnection& connection, ISettingsStore& store, QWidget* parent)
    : QDialog(parent), m_connection(connection), m_store(store) {
    setWindowTitle(QStringLiteral("Connect to Oracle"));
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
    m_data.LoadRemembered(m_store);

    auto* connectionBox = new QGroupBox(QStringLiteral("Connection"), this);
    auto* form = new QFormLayout(connectionBox);
    m_user = new QLineEdit(connectionBox);
    m_password = new QLineEdit(connectionBox);
    m_password->setEchoMode(QLineEdit::Password);
    m_database = new QComboBox(connectionBox);
    m_database->setEditable(true);
    m_database->setInsertPolicy(QComboBox::NoInsert);
    // The name is taken as typed: an inline completion from the history would turn
    // "TEST" into "TESTDB" on Enter.
    m_database->setCompleter(nullptr);
    m_database->setMinimumContentsLength(20);
    m_connectAs = new QComboBox(connectionBox);
    m_connectAs->addItems({QStringLiteral("NORMAL"), QStringLiteral("SYSDBA"), QStringLiteral("SYSOPER")});
    auto addRow = [&](const QString& label, QWidget* field) {
        auto* text = new QLabel(label, connectionBox);
        text->setBuddy(field);
        form->addRow(text, field);
    };
    addRow(QStringLiteral("&Username:"), m_user);
    addRow(QStringLiteral("&Password:"), m_password);
    addRow(QStringLiteral("&Database"), m_database);
    addRow(QStringLiteral("Connect &As:"), m_connectAs);

    auto* statusBox = new QGroupBox(QStringLiteral("Status"), this);
    auto* statusLayout = new QVBoxLayout(statusBox);
    m_status1 = new QLabel(statusBox);
    m_status2 = new QLabel(statusBox);
    for (QLabel* line : {m_status1, m_status2}) {
        line->setAlignment(Qt::AlignHCenter | Qt::AlignVCenter);
        line->setTextFormat(Qt::PlainText);
        line->setMinimumHeight(line->fontMetrics().height());
        statusLayout->addWidget(line);
    }

    auto* buttons = new QDialogButtonBox(Qt::Horizontal, this);
    m_connectButton = buttons->addButton(QStringLiteral("Connect"), QDialogButtonBox::AcceptRole);
    m_connectButton->setDefault(true);
    QPushButton* cancel = buttons->addButton(QStringLiteral("Cancel"), QDialogButtonBox::RejectRole);
    QPushButton* help = buttons->addButton(QStringLiteral("&Help"), QDialogButtonBox::HelpRole);
    connect(m_connectButton, &QPushButton::clicked, this, &CConnectDlg::OnConnect);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(help, &QPushButton::clicked, this, [this] {
        if (m_help) m_help();
    });

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(connectionBox);
    layout->addWidget(statusBox);
    layout->addWidget(buttons);

    // The history fills the database box; then the remembered values go in.
    for (const std::string& name : CServerHistory(m_store).Load())
        AddDatabaseItem(FromStd(name));
    m_user->setText(FromStd(m_data.m_User));
    m_database->setCurrentText(FromStd(m_data.m_Database));
    m_connectAs->setCurrentIndex(-1);
    const QString mode = FromStd(m_data.m_ConnectAs);
    for (int i = 0; i < m_connectAs->count(); ++i) {
        if (m_connectAs->itemText(i).startsWith(mode, Qt::CaseInsensitive)) {
            m_connectAs->setCurrentIndex(i);
            break;
        }
    }
    LimitText(m_user, CConnectDlgData::kUserLimit);
    LimitText(m_password, CConnectDlgData::kPasswordLimit);
    LimitText(m_database->lineEdit(), CConnectDlgData::kDatabaseLimit);
    if (!m_data.m_User.empty()) {
        m_password->setFocus();
    } else {
        m_user->setFocus();
    }
}

void CConnectDlg::AddDatabaseItem(const QString& name) {
    // The box keeps its items sorted as the list box of the original did: ignoring
    // case, equal names in the order they came.
    int at = 0;
    while (at < m_database->count() && m_database->itemText(at).compare(name, Qt::CaseInsensitive) <= 0)
        ++at;
    m_database->insertItem(at, name);
}

void CConnectDlg::ReadControls() {
    m_data.m_User = m_user->text().toStdString();
    m_data.m_Password = m_password->text().toStdString();
    m_data.m_Database = m_database->currentText().toStdString();
    m_data.m_ConnectAs = m_connectAs->currentIndex() >= 0 ? m_connectAs->currentText().toStdString() : std::string();
}

void CConnectDlg::OnConnect() {
    CWaitCursor wait;
    ReadControls();
    std::string message;
    const CConnectDlgData::EField tooLong = m_data.Validate(message);
    if (tooLong != CConnectDlgData::EField::None) {
        wait.Release();
        GetPrompter().Message(message, IPrompter::Kind::Warning);
        switch (tooLong) {
            case CConnectDlgData::EField::User:
                m_user->setFocus();
                break;
            case CConnectDlgData::EField::Password:
                m_password->setFocus();
                break;
            case CConnectDlgData::EField::Database:
            case CConnectDlgData::EField::None:
                m_database->setFocus();
                break;
        }
        return;
    }

    m_status1->setText(FromStd(m_data.ConnectingLine1()));
    m_status2->setText(FromStd(m_data.ConnectingLine2()));
    m_status1->repaint();
    m_status2->repaint();

    std::string error;
    bool added = false;
    const bool connected = m_data.Connect(m_connection, m_store, error, &added);
    if (added) AddDatabaseItem(FromStd(m_data.m_Database));
    if (!connected) {
        wait.Release();
        GetPrompter().Message(error, IPrompter::Kind::Error);
        return;
    }
    m_status1->setText(FromStd(m_data.ConnectedLine1()));
    m_status2->setText(FromStd(m_data.ConnectedLine2()));
    accept();
}

void CConnectDlg::Preset(const SConnectPreset& preset) {
    m_user->setText(FromStd(preset.user));
    m_database->setCurrentText(FromStd(preset.server));
    m_connectAs->setCurrentText(QString::fromUtf8(ConnectModeName(preset.mode)));
    m_password->clear();
    if (preset.user.empty()) {
        m_user->setFocus();
    } else {
        m_password->setFocus();
    }
}

bool RunConnectDialog(COracleConnection& connection, QWidget* parent, std::function<void()> help,
                      const SConnectPreset* preset) {
    CConnectDlg dialog(connection, GetSettingsStore(), parent);
    dialog.SetHelpHandler(std::move(help));
    if (preset) dialog.Preset(*preset);
    return dialog.exec() == QDialog::Accepted;
}

}  // namespace corvid
