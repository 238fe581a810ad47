#include "db/error.h"

#include <string>

namespace db::client_error {

Error noCurrentRecord() {
    return {kNoCurrentRecord, 0, "",
            "Either BOF or EOF is True, or the current record has been deleted. Requested "
            "operation requires a current record."};
}

Error itemNotFound(std::string_view name) {
    return {kItemNotFound, 0, "",
            "Item cannot be found in the collection corresponding to the requested name or "
            "ordinal. (" +
                std::string(name) + ")"};
}

Error notUpdatable() {
    return {kNotUpdatable, 0, "",
            "Current Recordset does not support updating. This may be a limitation of the "
            "provider, or of the selected locktype."};
}

Error objectClosed() {
    return {kObjectClosed, 0, "", "Operation is not allowed when the object is closed."};
}

Error rowNotLocated() {
    return {kRowNotLocated, 0, "",
            "Row cannot be located for updating. Some values may have been changed since it "
            "was last read."};
}

Error notSupported(std::string_view what) {
    return {kNotSupported, 0, "", "Operation is not supported by this connection: " +
                                      std::string(what)};
}

}  // namespace db::client_error
