// The sequence file words: the header's version byte, text and number
// fields, and the two row operations (method path, keyword search).
#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "../bridge/catalogue.h"
#include "../bridge/handlers.h"
#include "../bridge/hostops.h"
#include "../bridge/rounding.h"
#include "../bridge/sjistext.h"
#include "filesource.h"
#include "seqlayout.h"

using namespace mcr;

namespace {

constexpr int kPathArgLimit = 255;

// The path every word takes first.
const char* SeqPath(const Args& in) { return in.Text(1).Required().MaxLength(kPathArgLimit); }

// The field name: a name too long to be a field is refused by name before
// any file is opened.
const char* FieldName(const Args& in) {
  const char* field = in.Text(2).Required();
  if (std::strlen(field) >= kSeqFieldNameLimit) Abort(in.context(), kMsgNotAParameter, field);
  return field;
}

// A short file reads as a header of zero bytes; returns whether the whole
// header was there.
bool ReadHeader(ByteSource& file, std::uint8_t (&header)[kSeqHeaderSize]) {
  if (ReadExact(file, header, sizeof header)) return true;
  std::memset(header, 0, sizeof header);
  return false;
}

bool WriteHeader(InstFile& file, const std::uint8_t (&header)[kSeqHeaderSize]) {
  return file.Seek(0) && file.Write(header, sizeof header);
}

// GetSeqHdStr and GetSeqHdNo: the field, text or number, into the variable.
std::uint16_t GetHeaderField(HostHandle args, HostContext ctx, bool text) {
  Args in(ctx, args);
  const char* path = SeqPath(in);
  const char* field = FieldName(in);
  const char* var = in.Text(3).Required();

  auto clear = [&] { text ? SetStrVar(ctx, var, "") : SetNumVar(ctx, var, -1.0); };
  std::unique_ptr<ByteSource> file = OpenFileSource(path);
  if (!file) {
    clear();
    return Fail(ctx, kMsgSeqCannotOpen);
  }
  std::uint8_t header[kSeqHeaderSize];
  ReadHeader(*file, header);
  file.reset();
  const SeqField* f = text ? FindSeqTextField(field) : FindSeqNumberField(field);
  if (!f) {
    clear();
    return Fail(ctx, kMsgNotAParameter, field);
  }
  if (text)
    SetStrVar(ctx, var, SeqText(header, *f).c_str());
  else
    SetNumVar(ctx, var, static_cast<double>(SeqNumber(header, *f)));
  return 0;
}

// Reads the whole header, stores one field and writes the whole header
// back; an unknown field leaves the file untouched.
template <typename Put>
std::uint16_t RewriteHeaderField(HostContext ctx, const char* path, const char* field,
                                 const SeqField* (*find)(std::string_view), Put put) {
  InstFile file = InstFile::OpenReadWrite(path);
  if (!file.IsOpen()) return Fail(ctx, kMsgSeqCannotOpen);
  std::uint8_t header[kSeqHeaderSize];
  FileReader reader(file);
  ReadHeader(reader, header);
  const SeqField* f = find(field);
  if (!f) return Fail(ctx, kMsgNotAParameter, field);
  put(header, *f);
  if (!WriteHeader(file, header)) return Fail(ctx, kMsgCannotWrite, path);
  return 0;
}

// The rows SeqRpcMPath rewrites, found before any of them is written so
// that a sequence whose rows end early is left exactly as it was.
struct RowScan {
  bool complete = false;
  std::vector<long long> targets;  // file offsets of the rows to rewrite
};

RowScan ScanRows(ReadAheadSource& file, const std::uint8_t* header, const std::string& methodPath,
                 std::int32_t row) {
  RowScan scan;
  long long at = SeqFirstRowOffset(header);
  if (!SeekSigned(file, at)) return scan;
  for (std::int32_t i = 0; i < SeqRowCount(header); ++i) {
    const std::uint8_t* record = file.ReadView(kSeqRowSize);
    if (!record) return scan;
    bool selected = methodPath.empty() || row == 0 || i == row - 1;
    if (selected && SeqRowType(record) != kSeqKeywordRowType) scan.targets.push_back(at);
    if (row != 0 && i == row - 1) break;
    long long skip = SeqExtensionBytes(record);
    at += static_cast<long long>(kSeqRowSize) + skip;
    if (skip && !Skip(file, skip)) return scan;
  }
  scan.complete = true;
  return scan;
}

}  // namespace

MCR_FUNCTION(GetSeqFileVerProc) {
  const char* path = SeqPath(Args(ctx, args));
  double version = -1;
  std::unique_ptr<ByteSource> file = OpenFileSource(path);
  std::uint8_t byte = 0;
  if (file && ReadExact(*file, &byte, 1)) version = byte;
  SetNumberResult(ctx, result, version);
  return 0;
}

MCR_COMMAND(SetSeqFileVerProc) {
  Args in(ctx, args);
  const char* path = SeqPath(in);
  double version = in.Number(2).Required().get();
  // The range is checked before rounding: 255.4 is refused, 254.5 is 255.
  if (!(version >= 0 && version <= 255)) return FailOutOfRange(ctx, 2, 0, 255);
  auto byte = static_cast<std::uint8_t>(RoundToInt(version));
  InstFile file = InstFile::OpenReadWrite(path);
  if (!file.IsOpen()) return Fail(ctx, kMsgSeqCannotOpen);
  if (!file.Write(&byte, 1)) return Fail(ctx, kMsgCannotWrite, path);
  return 0;
}

MCR_COMMAND(GetSeqHdStrProc) { return GetHeaderField(args, ctx, true); }

MCR_COMMAND(GetSeqHdNoProc) { return GetHeaderField(args, ctx, false); }

MCR_COMMAND(SetSeqHdStrProc) {
  Args in(ctx, args);
  const char* path = SeqPath(in);
  const char* field = FieldName(in);
  const char* value = in.Text(3).Required();
  return RewriteHeaderField(ctx, path, field, FindSeqTextField,
                            [&](std::uint8_t* header, const SeqField& f) { PutSeqText(header, f, value); });
}

MCR_COMMAND(SetSeqHdNoProc) {
  Args in(ctx, args);
  const char* path = SeqPath(in);
  // A name too long to be a field is refused only as unknown, once the file is open.
  const char* field = in.Text(2).Required();
  std::uint32_t number = RoundToUnsigned32(in.Number(3).Required().get());
  return RewriteHeaderField(ctx, path, field, FindSeqNumberField,
                            [&](std::uint8_t* header, const SeqField& f) { PutSeqNumber(header, f, number); });
}

MCR_COMMAND(SeqRpcMPathProc) {
  Args in(ctx, args);
  const char* path = SeqPath(in);
  std::string methodPath = NormaliseMethodPath(in.Text(2).Or(""));
  double rowArg = in.Number(3).Or(0);  // an omitted row, like 0, selects every row
  std::int32_t row = methodPath.empty() ? 0 : SeqRowSelection(&rowArg);

  InstFile file = InstFile::OpenReadWrite(path);
  if (!file.IsOpen()) return Fail(ctx, kMsgSeqCannotOpen);
  std::uint8_t header[kSeqHeaderSize];
  FileReader reader(file);
  if (!ReadHeader(reader, header)) return Fail(ctx, kMsgSeqCannotOpen);
  RowScan scan = ScanRows(reader, header, methodPath, row);
  if (!scan.complete) return Fail(ctx, kMsgSeqCannotOpen);
  if (scan.targets.empty()) return 0;

  // A row is read before it is written and never after: whatever the
  // reader still holds of a row is what the file holds.
  std::uint8_t record[kSeqRowSize];
  for (long long at : scan.targets) {
    if (!SeekSigned(reader, at) || !ReadExact(reader, record, sizeof record))
      return Fail(ctx, kMsgSeqCannotOpen);
    PutSeqRowMethodPath(record, methodPath);
    if (!file.Seek(at) || !file.Write(record, sizeof record)) return Fail(ctx, kMsgCannotWrite, path);
  }
  PutSeqMethodEnabled(header, !methodPath.empty());
  if (!WriteHeader(file, header)) return Fail(ctx, kMsgCannotWrite, path);
  return 0;
}

MCR_COMMAND(SeqFindKwdProc) {
  Args in(ctx, args);
  const char* path = SeqPath(in);
  const char* keyword = in.Text(2).Required();
  // Rows beyond the 32-bit range saturate: far above never matches, far
  // below is refused like 0.
  std::int32_t firstRow = in.Number(3).Required().AtLeast(1);
  const char* var = in.Text(4).Required();

  auto fail = [&](int id) {
    SetNumVar(ctx, var, -1.0);
    return id == kMsgCannotOpen ? Fail(ctx, id, path) : Fail(ctx, id);
  };
  InstFile file = InstFile::OpenRead(path);
  if (!file.IsOpen()) return fail(kMsgCannotOpen);
  FileReader rows(file);
  std::uint8_t header[kSeqHeaderSize];
  if (!ReadExact(rows, header, sizeof header)) return fail(kMsgInvalidFile);

  // The rows follow the header one after the other; the header's own row
  // count and first-row offset are not trusted here.
  for (long long k = 1;; ++k) {
    const std::uint8_t* record = rows.ReadView(kSeqRowSize);
    if (rows.Failed()) return fail(kMsgInvalidFile);
    if (!record) {
      if (k == 1) return fail(kMsgInvalidFile);
      SetNumVar(ctx, var, 0.0);
      return 0;
    }
    if (k >= firstRow && SeqRowType(record) == kSeqKeywordRowType &&
        EqualNoCase(SeqRowKeyword(record), keyword)) {
      SetNumVar(ctx, var, static_cast<double>(k));
      return 0;
    }
    long long skip = SeqExtensionBytes(record);
    if (skip && !Skip(rows, skip)) {
      SetNumVar(ctx, var, 0.0);
      return 0;
    }
  }
}
