#include "dialogs/qt/SqlStmtDlgTestPage.h"

#include <QApplication>
#include <QComboBox>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "platform/qt/RtfTextView.h"
#include "platform/qt/WaitCursor.h"

namespace corvid {

namespace {

// Server texts end their lines with CR LF; the edit boxes take LF.
QString ToEditText(const std::string& text) {
    QString shown = CRtfTextView::DecodeText(text);
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    shown.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return shown;
}

QPlainTextEdit* MakeEdit(bool readOnly) {
    auto* edit = new QPlainTextEdit;
    edit->setReadOnly(readOnly);
    edit->setLineWrapMode(QPlainTextEdit::NoWrap);
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setPointSize(10);
    edit->setFont(font);
    return edit;
}

}  // namespace

CSqlTestPage::CSqlTestPage(CSqlTestModel model, ExplainCall explain, QWidget* parent)
    : CPropertyPage("Test SQL", parent),
      m_model(std::move(model)),
      m_explain(std::move(explain)),
      m_sql(MakeEdit(false)),
      m_plan(MakeEdit(true)),
      m_goal(new QComboBox),
      m_reload(new QPushButton("Reload SQL")),
      m_execute(new QPushButton("Execute SQL")) {
    for (const std::string& goal : OptimizerGoals())
        m_goal->addItem(QString::fromStdString(goal));
    auto* goalLabel = new QLabel("Optimizer goal:");
    goalLabel->setBuddy(m_goal);

    auto* controls = new QHBoxLayout;
    controls->addWidget(goalLabel);
    controls->addWidget(m_goal);
    controls->addStretch();
    controls->addWidget(m_reload);
    controls->addWidget(m_execute);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_sql, 3);
    layout->addWidget(m_plan, 2);
    layout->addLayout(controls);

    connect(m_execute, &QPushButton::clicked, this, &CSqlTestPage::ExecuteSql);
    connect(m_reload, &QPushButton::clicked, this, &CSqlTestPage::ReloadSql);
}

void CSqlTestPage::OnInitPage() {
    MoveToControls();
}

void CSqlTestPage::OnSetActive() {
    m_execute->setDefault(true);
    PostRemoveFocus();
}

bool CSqlTestPage::OnKillActive() {
    ReadControls();
    m_execute->setDefault(false);
    return true;
}

void CSqlTestPage::MoveToControls() {
    m_sql->setPlainText(ToEditText(m_model.m_SqlText));
    m_plan->setPlainText(ToEditText(m_model.m_Plan));
    m_goal->setCurrentIndex(OptimizerGoalIndex(m_model.m_Goal));
}

void CSqlTestPage::ReadControls() {
    m_model.m_SqlText = m_sql->toPlainText().toStdString();
    // A list without a selection gives an empty goal.
    m_model.m_Goal = m_goal->currentIndex() >= 0 ? m_goal->currentText().toStdString() : std::string();
}

void CSqlTestPage::ExecuteSql() {
    ReadControls();
    {
        CWaitCursor wait;
        m_model.Execute(m_explain);
    }
    MoveToControls();
}

void CSqlTestPage::ReloadSql() {
    m_model.m_SqlText = m_model.m_ReloadText;
    MoveToControls();
    ExecuteSql();
}

}  // namespace corvid
