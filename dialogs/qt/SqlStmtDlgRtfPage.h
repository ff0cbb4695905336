#pragma once

#include <string>

#include "dialogs/qt/PropertySheet.h"

class QLabel;

namespace corvid {

class CRtfTextView;

// A page that shows one RTF document in a read-only rich-text box filling the
// page. The document is read into the box when the page is first shown; each time
// the page becomes active the keyboard focus is taken from every control, so that
// no caret or selection shows.
class CSqlRtfPage : public CPropertyPage {
    Q_OBJECT
public:
    CSqlRtfPage(const QString& caption, std::string rtf, QWidget* parent = nullptr);

    void OnSetActive() override;

    CRtfTextView* TextView() const { return m_view; }

protected:
    void OnInitPage() override;

    std::string m_rtf;
    CRtfTextView* m_view;
};

// "SQL Statement": the statement's text, coloured.
class CSqlTextPage : public CSqlRtfPage {
    Q_OBJECT
public:
    explicit CSqlTextPage(std::string rtf, QWidget* parent = nullptr);

protected:
    void OnInitPage() override;
};

// "Execution Plan": the statement's plan, with a line above it that says where
// the plan came from (none when the source is empty).
class CSqlPlanPage : public CSqlRtfPage {
    Q_OBJECT
public:
    explicit CSqlPlanPage(std::string rtf, const QString& source = QString(), QWidget* parent = nullptr);

    QString SourceText() const;

private:
    QLabel* m_source;
};

}  // namespace corvid
