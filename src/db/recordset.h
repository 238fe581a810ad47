// Record sets with ADO's semantics, the same for every driver.
//
// A Recordset holds the rows of the first result of a statement (every driver reads them
// all when the set opens, so that the connection is free for the statements that callers
// run while they walk the set, as they do when they save rows one by one) and a position:
//   - BOF is true before the first row or when the set is empty; EOF is true after the
//     last row or when the set is empty. A set that has rows opens on the first one.
//   - moveNext() at EOF is an error (no current record); past the last row EOF becomes true.
//   - Fields are found by position or by name (case-insensitive); an unknown name is an
//     error and reads as NULL.
// Updatable sets (lock kind Optimistic, and a source the driver can write to) edit the
// current row or a new row in a buffer: setValue() starts the edit, addNew() starts a new
// row, update() saves the buffer through the driver's RowWriter, cancelUpdate() drops it.
// A failed update() leaves the error pending on the connection and the buffer in place,
// so that cancelUpdate() can drop it. Moving to another row or adding a new one saves a
// pending edit first, as ADO does.
// Deferred saves (deferUpdates()) let a driver send the rows of a walk in batches, many rows a
// round trip, while every row keeps its own outcome; see deferUpdates().
// Every error is also set as the owning connection's pending error. A record set must not
// outlive its connection. Thread-compatible.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "db/error.h"
#include "db/field.h"
#include "db/variant.h"

namespace db {

class Connection;

enum class CursorType { ForwardOnly, Static, Dynamic };
enum class LockType { ReadOnly, Optimistic };
enum class EditMode { None, InProgress, Add };

// The columns and rows a driver read for a new record set.
struct RowSet {
    std::vector<FieldInfo> fields;
    std::vector<std::vector<Variant>> rows;
};

// The driver's way of saving rows of an updatable set. It traces the statements it sends
// and leaves their errors in the returned Status.
class RowWriter {
public:
    virtual ~RowWriter() = default;
    // Saves the assigned fields (`changes`, one entry per field, nullopt where unassigned)
    // of row `row`, which held `original` when it was read.
    virtual Status updateRow(size_t row, const std::vector<Variant>& original,
                             const std::vector<std::optional<Variant>>& changes) = 0;
    // Inserts a new row holding the assigned fields; it becomes row `row` of the set.
    // `stored` comes in with the assigned values (NULL elsewhere); a writer that can tell
    // what the server stored (defaults of unassigned columns, conversions) puts that in it,
    // so that a later edit of the new row is checked against what is really there.
    virtual Status insertRow(size_t row, const std::vector<std::optional<Variant>>& values,
                             std::vector<Variant>& stored) = 0;

    // Deferred saves. A writer that sends rows in batches keeps the update in its queue and
    // returns nullopt; its outcome comes from flush(). Otherwise the row is saved at once and
    // its outcome returned, as updateRow() returns it (the default). A writer either queues a
    // row or has nothing queued when it saves one at once, so outcomes stay in order.
    virtual std::optional<Status> queueUpdate(size_t row, const std::vector<Variant>& original,
                                              const std::vector<std::optional<Variant>>& changes) {
        return updateRow(row, original, changes);
    }
    // Whether the queue holds as many rows as the writer sends at once.
    virtual bool queueFull() const { return false; }
    // Sends the queued rows; one outcome per row, in the order they were queued. A row the
    // server refused changed nothing; the others are written.
    virtual std::vector<Status> flush() { return {}; }
};

class Recordset {
public:
    Recordset(Connection& owner, CursorType cursor, LockType lock, RowSet rows,
              std::unique_ptr<RowWriter> writer);
    ~Recordset();
    Recordset(const Recordset&) = delete;
    Recordset& operator=(const Recordset&) = delete;

    bool isOpen() const { return open_; }
    bool bof() const;
    bool eof() const;
    Status moveNext();
    Status moveFirst();
    // Rows in the set; -1 for forward-only sets, as ADO reports.
    long recordCount() const;
    // 1-based position of the current row; -1 at BOF or EOF.
    long absolutePosition() const;

    size_t fieldCount() const { return rows_.fields.size(); }
    const FieldInfo& field(size_t index) const { return rows_.fields.at(index); }
    std::optional<size_t> fieldIndex(std::string_view name) const;

    // The current value of a field (the edit buffer's while an edit is pending).
    Variant value(size_t index) const;
    Variant value(std::string_view name) const;
    std::string text(std::string_view name) const { return value(name).toText(); }
    double number(std::string_view name) const { return value(name).toNumber(); }

    bool isUpdatable() const { return writer_ != nullptr && lock_ != LockType::ReadOnly; }
    EditMode editMode() const { return editMode_; }
    Status setValue(std::string_view name, Variant v);
    Status setValue(size_t index, Variant v);
    Status addNew();
    Status update();
    Status cancelUpdate();
    // Saves any queued rows (see deferUpdates()) and closes the set; an edit still pending
    // is dropped.
    void close();

    // From now on update() of an edited row (not of a new one) may leave the row queued in the
    // driver and return success before the server has seen it. `outcome` is called once for
    // every row update() saved or refused, in order: at once when the row was sent at once,
    // else when the queue is sent, which is before anything could tell the difference: before
    // any other statement, transaction call or close on the connection, before another set of
    // the connection writes, before a queued row is read or edited again or a new row added,
    // at close() and at flushUpdates(). A queued row that the server refuses is cancelled then:
    // it reads again as before the edit, and the connection's pending errors are left as
    // "clearError(); update()" leaves them, the way callers read each save's outcome. So a walk
    // that clears the errors before each save, cancels a refused row and only counts outcomes
    // ends the same whether its rows went one by one or in batches.
    void deferUpdates(std::function<void(const Status&)> outcome);
    // Sends the queued rows now and reports their outcomes.
    void flushUpdates();

private:
    Status fail(Error error) const;
    Status fail(Status status) const;
    bool onRow() const;
    bool isQueued(long row) const;
    // Sends what this set queued, if anything.
    void flushQueued();
    // Before a write of this set: rows another set of the connection queued go first.
    void flushOthers();

    friend class Connection;

    Connection* owner_;
    CursorType cursor_;
    LockType lock_;
    RowSet rows_;
    std::unique_ptr<RowWriter> writer_;
    bool open_ = true;
    // Index of the current row; -1 is BOF, rows_.rows.size() is EOF.
    long position_ = -1;
    EditMode editMode_ = EditMode::None;
    long positionBeforeAdd_ = -1;
    std::vector<std::optional<Variant>> buffer_;

    // Deferred saves: the callback, and the queued rows in order with what each held before
    // its edit (to put back when the server refuses it).
    std::function<void(const Status&)> outcome_;
    struct QueuedRow {
        size_t row;
        std::vector<Variant> before;
    };
    std::vector<QueuedRow> queued_;
    std::vector<bool> queuedRows_;  // by row index
};

}  // namespace db
