// Engine values on the wire: TYPE_INFO and the value encodings of TDS for every type of
// the engine (COLMETADATA, ROW/NBCROW, RETURNVALUE), and the parameter values an RPC
// request carries, decoded into engine values.
//
// char/varchar/text travel in Windows-1252, the code page of the server's collation
// (Modern_Spanish_CI_AS); nchar/nvarchar/ntext in UTF-16LE. Columns are described with the
// nullable variants of the fixed types (INTN, FLTN, ...), which clients accept for every
// column. Clients older than TDS 7.2 get text/ntext/image for the (max) types, and older
// than 7.3 get date as nvarchar(10), as SQL Server sends them down-level. Thread-safe.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "engine/types/data_type.h"
#include "engine/types/value.h"
#include "server/tds/bytes.h"

namespace tds {

// TDS versions as LOGIN7 carries them.
constexpr uint32_t kTds71 = 0x71000001;
constexpr uint32_t kTds72 = 0x72090002;
constexpr uint32_t kTds73 = 0x730B0003;
constexpr uint32_t kTds74 = 0x74000004;

// Modern_Spanish_CI_AS: LCID 0x0C0A, case- kana- and width-insensitive, sort id 0.
constexpr char kCollation[5] = {0x0A, 0x0C, static_cast<char>(0xD0), 0x00, 0x00};

// What a negotiated version allows.
struct WireFeatures {
    uint32_t version = kTds74;
    bool maxTypes() const { return version >= kTds72; }
    bool dateType() const { return version >= kTds73; }
    bool nullBitmapRows() const { return version >= kTds73; }
    bool longRowCounts() const { return version >= kTds72; }
    bool longUserType() const { return version >= kTds72; }
};

// TYPE_INFO of a column or parameter of this type.
void writeTypeInfo(ByteWriter& w, const engine::DataType& type, const WireFeatures& features);
// The value in the encoding its TYPE_INFO announced (NULL included).
void writeValue(ByteWriter& w, const engine::Value& value, const engine::DataType& column,
                const WireFeatures& features);
// Whether the type's values are written as a length-prefixed NULL-able form that NBCROW may
// leave out (all of them are).
bool isNull(const engine::Value& value);

// A parameter value read from an RPC request: TYPE_INFO, then the value. The type is the
// engine type that holds it (varchar(n), decimal(p,s), ...), the value NULL or converted.
struct DecodedParameter {
    engine::DataType type;
    engine::Value value;
};
DecodedParameter readTypedValue(ByteReader& r);

// Text as the client sent it for char data, to UTF-8 (Windows-1252).
std::string charDataToUtf8(std::string_view bytes);

}  // namespace tds
