#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/CommandStates.h"
#include "collection/ObjectEntry.h"
#include "list/ListLayout.h"
#include "list/qt/ListViewEx.h"

class QLabel;

namespace corvid {

class CCorvidDoc;
class CSimilarSearchJob;
class IProgressRunner;

// The main view: the statements of the document's collection in the sortable
// list, one row per statement with the statement's position in the collection as
// the row's item data. It fills the list through a layout, refills it (loading the
// collection anew on request) under a busy flag and the wait cursor, answers which
// statement is selected, and hands its context menu and double-clicks to the
// command dispatcher. When it is destroyed outside the similar view, it reads the
// user's column order, widths and sort keys back into the document's layout and
// saves it.
class CCorvidView : public CListViewEx {
    Q_OBJECT
public:
    using Dispatcher = std::function<void(ECommand)>;

    explicit CCorvidView(CCorvidDoc& document, QWidget* parent = nullptr);
    ~CCorvidView() override;

    CCorvidDoc& GetDocument() { return m_document; }
    void SetDispatcher(Dispatcher dispatcher) { m_dispatch = std::move(dispatcher); }

    // Builds the list's columns and sort keys from the layout (the document's own
    // when none is given) and scrolls back to the first column.
    void ApplyLayout();
    void ApplyLayout(const CListLayout& layout);

    // Replaces the rows by the statements of the array, each through the layout;
    // a row's item data is its statement's position in the collection: the index
    // in the array, or positions[i] when the array holds copies (similar view).
    void FillFrom(const CObjectArray& array, const CListLayout& layout, bool suspendRedraw,
                  const std::vector<CObjectArray::Index>* positions = nullptr);

    // Fills the list from the document's collection and sorts it; with reload the
    // document loads the collection from the server first. Nothing while busy.
    // False when the load was cancelled or not possible. Without a reload the rows
    // of the statements at `keepSelected` (collection positions) are selected again.
    // In the changes view only the statements that changed are listed; a load
    // that leaves nothing to compare with ends the changes view.
    bool Refill(bool reload, const std::vector<CObjectArray::Index>& keepSelected = {});

    // Enters or leaves the changes since the previous load: the interval layout
    // instead of the user's. Each layout keeps its own column order, widths and
    // sort. The rows are emptied; Refill fills them again.
    void SetChangesMode(bool on);
    const CListLayout& GetIntervalLayout() const { return m_intervalLayout; }
    // Replaces the interval layout (the options' column page) and saves it.
    void SetIntervalLayout(const CListLayout& layout);
    // A reload in the background (auto refresh): no wait cursor, the progress
    // through the given runner, and the sort, the selected statements and the
    // scroll position kept. False when it was cancelled or failed (error then says
    // why).
    bool RefreshInBackground(IProgressRunner& runner, std::string& error);
    // The collection positions of the selected rows.
    std::vector<CObjectArray::Index> SelectedPositions() const;
    // The text the empty list shows before the first load; empty once loaded.
    QString PlaceholderText() const;

    // The family view: one row per family of the collection through the family
    // layout, the family's index as the item data, sorted by the layout.
    void ShowFamilies();
    // The family of the one selected row of the family view; -1 (after the
    // message) unless exactly one row is selected.
    int GetSelectedFamily();
    // The note over the bottom of the list; hidden while empty.
    void SetNote(const QString& text);
    QLabel* Note() const { return m_note; }
    // Busy while it refills, and while a similar search fills in its rows.
    bool IsBusy() const { return m_busy || m_similarSearch != nullptr; }
    // A load or a refill runs (not the similar search in the background).
    bool IsLoading() const { return m_busy; }

    // The similar search that fills in the similar view in the background: the view
    // keeps it (busy, Escape cancels it) until EndSimilarSearch().
    void SetSimilarSearch(std::unique_ptr<CSimilarSearchJob> search);
    CSimilarSearchJob* GetSimilarSearch() const { return m_similarSearch.get(); }
    void EndSimilarSearch();

    // The one selected statement, copied from the collection; false (after the
    // message) unless exactly one row is selected.
    bool GetSelectedStatement(CObjectEntry& entry);
    // The collection position of the one selected row, or -1 (after the message).
    CObjectArray::Index GetSelectedPosition();
    // Selects the row of the statement at that collection position alone and
    // scrolls to it; false when no row shows it.
    bool SelectPosition(CObjectArray::Index position);

    // Reads the list back into the document's layout and saves it, unless the
    // similar view is shown.
    void SaveLayout();

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void Dispatch(ECommand command);
    void PlaceNote();
    // Fills the rows for the document's current mode and sorts them; the rows of
    // the statements at `select` (collection positions) are selected.
    void FillFromDocument(const std::vector<CObjectArray::Index>& select);
    void SaveIntervalLayout();

    CCorvidDoc& m_document;
    Dispatcher m_dispatch;
    bool m_busy = false;
    bool m_layoutSaved = false;
    bool m_loadedOnce = false;
    QLabel* m_note = nullptr;
    QAbstractItemDelegate* m_familyDelegate = nullptr;
    std::unique_ptr<CSimilarSearchJob> m_similarSearch;
    CListLayout m_intervalLayout;
};

inline constexpr const char* kSelectOneStatementMessage =
    "Operation not possible!\nExactly one statement must be selected.";
inline constexpr const char* kSelectOneFamilyMessage = "Operation not possible!\nExactly one family must be selected.";

// The note over the statement list while it shows one family's members.
QString FamilyNoteText(int statements);

}  // namespace corvid
