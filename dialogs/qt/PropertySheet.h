#pragma once

#include <QDialog>
#include <QWidget>
#include <vector>

class QDialogButtonBox;
class QPushButton;
class QTabWidget;

namespace corvid {

// One page of a property sheet. The page fills its controls when it is first
// shown, hears when it becomes the active page, and is asked on leaving (another
// tab or OK) to read and check its controls; a page that refuses stays active.
class CPropertyPage : public QWidget {
    Q_OBJECT
public:
    explicit CPropertyPage(const QString& caption, QWidget* parent = nullptr);

    const QString& Caption() const { return m_caption; }
    // True once the page has filled its controls.
    bool IsInitialised() const { return m_initialised; }
    // Fills the controls now, when that has not happened yet.
    void EnsureInitialised();

    // The page became the active one.
    virtual void OnSetActive() {}
    // The page is being left: read the controls into the page's data. False keeps
    // the page active (its message has been shown).
    virtual bool OnKillActive() { return true; }

protected:
    // Fills the controls from the page's data; called once.
    virtual void OnInitPage() {}
    void showEvent(QShowEvent* event) override;
    // Removes the keyboard focus from every control of the window, after the
    // events already queued, so that no caret or selection shows in read-only text.
    void PostRemoveFocus();

private:
    QString m_caption;
    bool m_initialised = false;
};

// A tabbed sheet of pages with OK and Cancel. Switching tabs and OK first ask the
// active page to let go.
class CPropertySheet : public QDialog {
    Q_OBJECT
public:
    explicit CPropertySheet(const QString& title, QWidget* parent = nullptr);

    // Adds the page as the next tab, captioned with the page's caption.
    void AddPage(CPropertyPage* page);
    int GetPageCount() const { return static_cast<int>(m_pages.size()); }
    CPropertyPage* GetPage(int index) const { return m_pages.at(index); }
    CPropertyPage* GetActivePage() const;
    int GetActiveIndex() const;
    // Switches to the page as a tab click does; false when the active page refused.
    bool SetActivePage(int index);

    QTabWidget* Tabs() const { return m_tabs; }
    QPushButton* OkButton() const;
    QPushButton* CancelButton() const;

public slots:
    // OK: the active page must let go first.
    void accept() override;

private:
    void OnTabChanged(int index);

    QTabWidget* m_tabs;
    QDialogButtonBox* m_buttons;
    std::vector<CPropertyPage*> m_pages;
    int m_activeIndex = -1;
    bool m_reverting = false;
};

}  // namespace corvid
