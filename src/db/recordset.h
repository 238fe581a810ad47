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
// Every error is also set as the owning connection's pending error. A record set must not
// outlive its connection. Thread-compatible.
#pragma once

#include <cstddef>
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
    void close();

private:
    Status fail(Error error) const;
    Status fail(Status status) const;
    bool onRow() const;

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
};

}  // namespace db
