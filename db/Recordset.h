#pragma once
#include "db/Value.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace db {

class Connection;
struct Keyset;

// Names a row of one keyset; valid in the record set it came from and in its clones.
struct Bookmark {
    uint64_t keyset = 0;
    size_t index = 0;
    bool operator==(const Bookmark&) const = default;
};

enum class EditMode { None, Edit, Add };

// A keyset cursor: the row ids of a query are fixed when it runs, the values are read by id
// as they are needed. Deleted rows stay in the keyset as deleted and are never shown again;
// added rows join its end. Clones share the keyset and have cursors of their own.
//
// A long list does not wait for all its ids: the query's first ids are read when it runs and
// its rows are counted in the same read (from the stored counts or the b-tree where the query
// allows), so the count and every position are known at once. No statement stays open between
// calls: an open one would hold the file's state of that moment for this connection, hiding its
// own and other programs' later writes from every value it reads.
// A query of one table ordered by one column alone gets the row id after that column, in the
// same direction, so its order is total and the engine's own read of it gives the same order.
// Its other ids are read in pieces where a view or a move needs them, from whichever is nearer:
// the start, the end (the order reversed), or a piece already known (on from its row, by the
// column and the id). A letter of one term ordered by the other walks the other's index, keeping
// the rows the letter takes, unless the letter is rare enough that sorting it costs less, or the
// walk passes more rows than that before it finds them; far from what is known such a list is
// read whole by the engine's sort. Any other query reads on
// in its order by running again past the ids known.
// While the file is unchanged the query gives the same ids again; once it has changed, the rest
// is read in one pass, leaving out the ids already read and those added after the query ran,
// and places left over read as empty rows. A count too high shows as a piece cut short or as
// pieces from the two ends out of order: the list is read whole, the places counted from the
// start hold, those from the end keep their rows, and the places between them that the query
// lacks are dropped (MissingRows).
class Recordset {
public:
    Recordset(std::shared_ptr<Connection> conn, const std::string& sql);
    ~Recordset();
    Recordset(const Recordset&) = delete;
    Recordset& operator=(const Recordset&) = delete;

    bool Bof() const;  // before the first row (or no rows at all)
    bool Eof() const;  // after the last row (or no rows at all)
    long AbsolutePosition() const; // -1 when there is no current row
    long RecordCount() const;      // rows reached so far; every row after MoveLast

    void MoveFirst();
    void MoveLast();
    void MoveNext();
    void MovePrevious();
    void Move(long rows); // from the current row

    Bookmark GetBookmark() const;
    void SetBookmark(const Bookmark& b);

    // Fields of the current row, in the order of the query's columns.
    const std::vector<std::string>& FieldNames() const;
    Value Field(std::string_view name) const;

    void Delete();
    // Deletes the rows in the given order in one transaction: all of them, or none when any
    // cannot go (the cursor stays as it was then). A row deleted here that was current leaves
    // no current row, as Delete does.
    void DeleteRows(const std::vector<Bookmark>& rows);
    void AddNew();
    void Edit();
    void SetField(std::string_view name, const Value& v);
    void Update(); // the row current before AddNew or Edit is current again
    void CancelUpdate();
    EditMode editMode() const { return mode_; }

    std::unique_ptr<Recordset> Clone() const; // same rows, own cursor, on the first row
    void Close();
    bool IsOpen() const { return ks_ != nullptr; }

    // Reading by position without moving the cursor, for views such as the grid.
    long RowCount() const; // every row not deleted, reached or not
    // Rows the list's count promised and its query turned out not to have (the stored counts
    // were too high), and the position where they stood: a view that showed them drops them.
    long MissingRows() const;
    long MissingFrom() const;
    Bookmark BookmarkAt(long position) const;
    Value FieldAt(long position, std::string_view name) const;
    // The table's row key of the current row, and where a key stands in this list (-1 when
    // it is not there or was deleted): a list run again finds the user's row by it.
    long long CurrentKey() const;
    long PositionOfKey(long long key) const;

private:
    explicit Recordset(std::shared_ptr<Keyset> ks);
    enum class Where { Bof, At, Eof };
    Keyset& ks() const;
    size_t FieldIndex(std::string_view name) const;
    bool HasCurrent() const;
    void RequireCurrent() const;
    void GoTo(size_t index);
    void GoFirst();
    void EndEdit();

    std::shared_ptr<Keyset> ks_;
    Where where_ = Where::Bof;
    size_t index_ = 0;   // keyset index while At (the row may be deleted)
    size_t reached_ = 0; // keyset indexes below this one have been reached
    EditMode mode_ = EditMode::None;
    std::vector<Value> buffer_;
    std::vector<bool> changed_;
};

} // namespace db
