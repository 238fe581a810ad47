#include "db/recordset.h"

#include "db/connection.h"
#include "db/text_util.h"

namespace db {

Recordset::Recordset(Connection& owner, CursorType cursor, LockType lock, RowSet rows,
                     std::unique_ptr<RowWriter> writer)
    : owner_(&owner),
      cursor_(cursor),
      lock_(lock),
      rows_(std::move(rows)),
      writer_(std::move(writer)),
      position_(rows_.rows.empty() ? -1 : 0) {}

Recordset::~Recordset() {
    if (open_) flushQueued();
}

Status Recordset::fail(Error error) const { return fail(Status(std::move(error))); }

Status Recordset::fail(Status status) const {
    owner_->setPendingError(status);
    return status;
}

bool Recordset::bof() const { return open_ && editMode_ != EditMode::Add && (rows_.rows.empty() || position_ < 0); }

bool Recordset::eof() const {
    return open_ && editMode_ != EditMode::Add &&
           (rows_.rows.empty() || position_ >= static_cast<long>(rows_.rows.size()));
}

bool Recordset::onRow() const {
    return open_ && position_ >= 0 && position_ < static_cast<long>(rows_.rows.size());
}

Status Recordset::moveNext() {
    if (!open_) return fail(client_error::objectClosed());
    if (editMode_ != EditMode::None) {
        if (Status s = update(); !s) return s;
    }
    if (eof()) return fail(client_error::noCurrentRecord());
    ++position_;
    return Status::success();
}

Status Recordset::moveFirst() {
    if (!open_) return fail(client_error::objectClosed());
    if (editMode_ != EditMode::None) {
        if (Status s = update(); !s) return s;
    }
    position_ = rows_.rows.empty() ? -1 : 0;
    return Status::success();
}

long Recordset::recordCount() const {
    if (!open_ || cursor_ == CursorType::ForwardOnly) return -1;
    return static_cast<long>(rows_.rows.size());
}

long Recordset::absolutePosition() const { return onRow() ? position_ + 1 : -1; }

std::optional<size_t> Recordset::fieldIndex(std::string_view name) const {
    for (size_t i = 0; i < rows_.fields.size(); ++i) {
        if (equalsIgnoreCase(rows_.fields[i].name, name)) return i;
    }
    return std::nullopt;
}

Variant Recordset::value(size_t index) const {
    // A queued row's outcome is known before the row is read again.
    if (!queued_.empty() && onRow() && isQueued(position_)) const_cast<Recordset*>(this)->flushQueued();
    if (!open_) {
        fail(client_error::objectClosed());
        return Variant();
    }
    if (index >= rows_.fields.size()) {
        fail(client_error::itemNotFound(std::to_string(index)));
        return Variant();
    }
    if (editMode_ != EditMode::None && buffer_[index]) return *buffer_[index];
    if (editMode_ == EditMode::Add) return Variant();
    if (!onRow()) {
        fail(client_error::noCurrentRecord());
        return Variant();
    }
    return rows_.rows[static_cast<size_t>(position_)][index];
}

Variant Recordset::value(std::string_view name) const {
    const auto index = fieldIndex(name);
    if (!index) {
        fail(client_error::itemNotFound(name));
        return Variant();
    }
    return value(*index);
}

Status Recordset::setValue(std::string_view name, Variant v) {
    const auto index = fieldIndex(name);
    if (!index) return fail(client_error::itemNotFound(name));
    return setValue(*index, std::move(v));
}

Status Recordset::setValue(size_t index, Variant v) {
    if (!open_) return fail(client_error::objectClosed());
    if (!isUpdatable()) return fail(client_error::notUpdatable());
    if (index >= rows_.fields.size()) return fail(client_error::itemNotFound(std::to_string(index)));
    if (editMode_ == EditMode::None) {
        if (!onRow()) return fail(client_error::noCurrentRecord());
        // An edit of a queued row starts from what the server made of the queued save.
        if (isQueued(position_)) flushQueued();
        buffer_.assign(rows_.fields.size(), std::nullopt);
        editMode_ = EditMode::InProgress;
    }
    buffer_[index] = std::move(v);
    return Status::success();
}

Status Recordset::addNew() {
    if (!open_) return fail(client_error::objectClosed());
    if (!isUpdatable()) return fail(client_error::notUpdatable());
    if (editMode_ != EditMode::None) {
        if (Status s = update(); !s) return s;
    }
    positionBeforeAdd_ = position_;
    buffer_.assign(rows_.fields.size(), std::nullopt);
    editMode_ = EditMode::Add;
    return Status::success();
}

Status Recordset::update() {
    if (!open_) return fail(client_error::objectClosed());
    if (editMode_ == EditMode::None) return Status::success();
    flushOthers();
    Status status;
    if (editMode_ == EditMode::Add) {
        flushQueued();
        const size_t newRow = rows_.rows.size();
        std::vector<Variant> row(rows_.fields.size());
        for (size_t i = 0; i < row.size(); ++i) {
            if (buffer_[i]) row[i] = *buffer_[i];
        }
        status = writer_->insertRow(newRow, buffer_, row);
        if (status) {
            rows_.rows.push_back(std::move(row));
            position_ = static_cast<long>(newRow);
        }
    } else {
        const size_t at = static_cast<size_t>(position_);
        auto& row = rows_.rows[at];
        std::optional<Status> sent;
        if (outcome_) {
            sent = writer_->queueUpdate(at, row, buffer_);
            if (!sent) {
                queued_.push_back({at, row});
                if (queuedRows_.size() < rows_.rows.size()) queuedRows_.resize(rows_.rows.size(), false);
                queuedRows_[at] = true;
                owner_->queuedIn_ = this;
            }
        } else {
            sent = writer_->updateRow(at, row, buffer_);
        }
        if (sent) status = std::move(*sent);
        if (status) {
            for (size_t i = 0; i < row.size(); ++i) {
                if (buffer_[i]) row[i] = *buffer_[i];
            }
        }
        if (!sent) {
            editMode_ = EditMode::None;
            buffer_.clear();
            if (writer_->queueFull()) flushQueued();
            return Status::success();
        }
    }
    if (!status) {
        fail(status);
        if (outcome_) outcome_(status);
        return status;
    }
    if (outcome_) outcome_(status);
    editMode_ = EditMode::None;
    buffer_.clear();
    return Status::success();
}

Status Recordset::cancelUpdate() {
    if (!open_) return fail(client_error::objectClosed());
    if (editMode_ == EditMode::Add) position_ = positionBeforeAdd_;
    editMode_ = EditMode::None;
    buffer_.clear();
    return Status::success();
}

void Recordset::close() {
    flushQueued();
    // A pending edit is dropped: callers save or cancel before closing.
    open_ = false;
    editMode_ = EditMode::None;
    buffer_.clear();
    rows_.rows.clear();
    writer_.reset();
}

void Recordset::deferUpdates(std::function<void(const Status&)> outcome) {
    flushQueued();
    outcome_ = std::move(outcome);
}

void Recordset::flushUpdates() { flushQueued(); }

bool Recordset::isQueued(long row) const {
    return row >= 0 && static_cast<size_t>(row) < queuedRows_.size() && queuedRows_[static_cast<size_t>(row)];
}

void Recordset::flushOthers() {
    if (owner_->queuedIn_ != nullptr && owner_->queuedIn_ != this) owner_->queuedIn_->flushQueued();
}

void Recordset::flushQueued() {
    if (owner_->queuedIn_ == this) owner_->queuedIn_ = nullptr;
    if (queued_.empty()) return;
    std::vector<QueuedRow> rows = std::move(queued_);
    queued_.clear();
    queuedRows_.clear();
    const std::vector<Status> outcomes = writer_->flush();
    for (size_t i = 0; i < rows.size(); ++i) {
        const Status outcome = i < outcomes.size() ? outcomes[i] : Status(client_error::rowNotLocated());
        owner_->clearError();
        if (!outcome) {
            rows_.rows[rows[i].row] = std::move(rows[i].before);
            owner_->setPendingError(outcome);
        }
        if (outcome_) outcome_(outcome);
    }
}

}  // namespace db
