// Reader for the binary data packet of a client dataset (the MIDAS format
// that TClientDataSet.Data holds): header, field descriptors, parameters,
// rows. It reads every row (so that a packet with a broken row is refused
// as a client dataset refuses it) and keeps one current record: the first
// visible row, as a client dataset opens on it.
//
// Every malformed packet raises EAppError saying what is wrong; nothing is
// read beyond the packet's bytes.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// Kinds of the type word (bits 16-21).
enum class FieldKind : std::uint8_t {
  Unknown = 0, Int = 1, UInt = 2, Bool = 3, Float = 4, Bcd = 5, Date = 6, Time = 7,
  Timestamp = 8, ZString = 9, Unicode = 10, Bytes = 11, Adt = 12, Array = 13,
  EmbeddedTable = 14, Ref = 15, BigDecimal = 16, DateTime = 17, FmtBcd = 18,
  Single = 27, DateTimeOffset = 36,
};

class DataPacket;

// One field of the packet with its value in the current record.
class DataField {
 public:
  const std::string& Name() const { return name_; }
  std::uint32_t TypeWord() const { return type_; }
  FieldKind Kind() const { return static_cast<FieldKind>((type_ >> 16) & 0x3F); }
  std::uint16_t Attributes() const { return attributes_; }
  // The WIDTH parameter (0 when the packet gives none).
  std::uint32_t Width() const { return width_; }
  // The SUBTYPE parameter without its trailing NUL ("Graphics", "Text"...).
  const std::string& Subtype() const { return subtype_; }
  // A varying BYTES field with a 4-byte length: memo, graphic or binary blob.
  bool IsBlob() const;
  // True when the current record holds no value (NULL, never assigned, or
  // no record at all).
  bool IsNull() const { return !value_.has_value(); }

  // The value as text, whatever the kind; "" when null. ANSI strings and
  // memos are decoded with the system's ANSI code page, numbers printed as
  // the VCL's fields print them.
  std::string AsString() const;
  // The raw value bytes of the current record (for a blob: the blob's
  // content, graphic header included). Raises EAppError for a blob whose
  // content was left out of the packet.
  std::vector<std::uint8_t> BlobBytes() const;

 private:
  friend class DataPacket;
  std::string name_;
  std::uint32_t type_ = 0;
  std::uint16_t attributes_ = 0;
  std::uint32_t width_ = 0;
  std::string subtype_;
  std::optional<std::vector<std::uint8_t>> value_;
  bool notFetched_ = false;
};

class DataPacket {
 public:
  // Decodes a whole packet; raises EAppError when it is malformed.
  static DataPacket Parse(const std::vector<std::uint8_t>& bytes);
  static DataPacket Parse(const std::uint8_t* data, std::size_t size);

  const std::vector<DataField>& Fields() const { return fields_; }
  // Case-insensitive lookup, as TDataSet.FindField; nullptr when missing.
  const DataField* FindField(const std::string& name) const;
  // As FindField, but raises EAppError "Field 'x' not found".
  const DataField& FieldByName(const std::string& name) const;

  std::uint32_t RowCount() const { return rowCount_; }        // stored rows, all versions
  std::uint32_t VisibleRows() const { return visibleRows_; }  // rows a dataset shows
  // 1-based stored row of the current record; 0 when there is none.
  std::uint32_t CurrentRow() const { return currentRow_; }
  std::uint16_t MajorVersion() const { return major_; }
  // The LCID packet parameter, when present.
  std::optional<std::int32_t> Lcid() const { return lcid_; }

 private:
  std::vector<DataField> fields_;
  std::uint32_t rowCount_ = 0;
  std::uint32_t visibleRows_ = 0;
  std::uint32_t currentRow_ = 0;
  std::uint16_t major_ = 0;
  std::optional<std::int32_t> lcid_;
};
