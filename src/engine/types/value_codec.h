// Compact binary encoding of values and data types for the durable store.
//
// The encoding starts every value with a tag byte (type and null flag), then the data
// type's arguments where the type has any, then the payload (varint integers, raw
// doubles, length-prefixed bytes). Decoding an encoding made by this or an older format
// version gives back exactly the value encoded (type included). Thread-safe.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "engine/types/data_type.h"
#include "engine/types/value.h"

namespace engine {

// Format version of the value encoding (the store writes it in its file headers).
constexpr int kValueCodecVersion = 1;

void encodeDataType(const DataType& type, std::string& out);
void encodeValue(const Value& value, std::string& out);

// Consume one encoded item from the front of in. formatVersion is the version the bytes
// were written with (from the store's file header); versions newer than this build
// knows are refused. nullopt (in unchanged) when the bytes are truncated or malformed.
std::optional<DataType> tryDecodeDataType(std::string_view& in,
                                          int formatVersion = kValueCodecVersion);
std::optional<Value> tryDecodeValue(std::string_view& in, int formatVersion = kValueCodecVersion);

// As tryDecodeValue, throwing std::runtime_error on malformed input.
Value decodeValue(std::string_view& in, int formatVersion = kValueCodecVersion);
DataType decodeDataType(std::string_view& in, int formatVersion = kValueCodecVersion);

}  // namespace engine
