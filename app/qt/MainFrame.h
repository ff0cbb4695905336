#pragma once

#include <QMainWindow>
#include <functional>
#include <map>

#include "app/CommandStates.h"

class QAction;
class QLabel;
class QMenu;
class QProgressBar;
class QTimer;
class QToolBar;

class QDockWidget;

namespace corvid {

class ISettingsStore;

// The main window: the menu, the toolbar of 16 x 16 buttons with tooltips, the
// status bar with its message pane ("Ready", or the prompt of the highlighted
// command) and the CAP, NUM and SCRL indicators, and the statement list as its
// central widget. Commands go to one dispatcher; their enabled and checked states
// come from one query and are refreshed when a menu opens and after every command.
class CMainFrame : public QMainWindow {
    Q_OBJECT
public:
    using Dispatcher = std::function<void(ECommand)>;
    using StateQuery = std::function<SCommandState(ECommand)>;

    explicit CMainFrame(QWidget* parent = nullptr);
    ~CMainFrame() override;

    void SetDispatcher(Dispatcher dispatcher) { m_dispatch = std::move(dispatcher); }
    void SetStateQuery(StateQuery query) { m_stateQuery = std::move(query); }

    // Runs a command as its menu entry would (nothing when it is disabled).
    void RunCommand(ECommand command);
    // Reads every command's state again.
    void UpdateCommandStates();

    // The action of a menu command; null for a command that has none.
    QAction* Action(ECommand command) const;
    QAction* ToolbarToggle() const { return m_toolbarToggle; }
    QAction* StatusBarToggle() const { return m_statusBarToggle; }
    // Docks a panel at the right of the list, hidden, with an entry in the View
    // menu that shows and hides it; returns that entry.
    QAction* AddPanel(QDockWidget* dock);
    QToolBar* MainToolBar() const { return m_toolbar; }
    QLabel* MessagePane() const { return m_messagePane; }
    // Puts a lasting text in the message pane (the summary of a load, where an
    // export went); it stays until the next one.
    void SetStatusText(const QString& text);
    QLabel* Indicator(int index) const { return m_indicators[index]; }
    // The status bar's progress of a refresh in the background, and the interval pane.
    QLabel* ProgressText() const { return m_progressText; }
    QProgressBar* ProgressBar() const { return m_progressBar; }
    QLabel* IntervalPane() const { return m_intervalPane; }
    // Shows the text in the interval pane; an empty text hides it.
    void SetIntervalText(const QString& text);

    // Applies the placement stored in "Settings" when its rectangle meets the
    // primary screen; true when it was applied.
    bool RestorePlacement(ISettingsStore& store);
    // Writes the placement of the window to "Settings".
    void SavePlacement(ISettingsStore& store) const;
    // The show state the restored placement asks for (maximised, normal).
    bool RestoredMaximized() const { return m_restoredMaximized; }

    // Called when the window is about to close, before it is destroyed.
    void SetCloseHandler(std::function<void()> handler) { m_closeHandler = std::move(handler); }
    // Asked first when the window is to close; false keeps it open.
    void SetCloseGuard(std::function<bool()> guard) { m_closeGuard = std::move(guard); }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    QAction* AddCommand(QMenu* menu, ECommand command, const QString& text, const QKeySequence& shortcut,
                        const QString& prompt);
    void UpdateIndicators();

    Dispatcher m_dispatch;
    StateQuery m_stateQuery;
    std::function<void()> m_closeHandler;
    std::function<bool()> m_closeGuard;
    std::map<ECommand, QAction*> m_actions;
    QAction* m_toolbarToggle = nullptr;
    QAction* m_statusBarToggle = nullptr;
    QMenu* m_viewMenu = nullptr;
    QToolBar* m_toolbar = nullptr;
    QLabel* m_messagePane = nullptr;
    QLabel* m_indicators[3] = {};
    QLabel* m_progressText = nullptr;
    QProgressBar* m_progressBar = nullptr;
    QLabel* m_intervalPane = nullptr;
    QTimer* m_indicatorTimer = nullptr;
    bool m_restoredMaximized = false;
};

// The first part of a command prompt (status bar text) and the second (tooltip).
QString PromptStatusText(const QString& prompt);
QString PromptToolTip(const QString& prompt);

}  // namespace corvid
