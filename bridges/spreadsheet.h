// The spreadsheet automation interface: the object model that converters, runs and printing use.
// It mirrors the automation server's objects (Application, Workbooks, Workbook, Worksheets,
// Worksheet, Range) with #import-style Get/Put accessors, so that any server able to offer
// these operations, embedded or out of process, can stand behind it.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <variant>

namespace ledgerix {

// The one exception type for a call the server rejects; what() is the server's description,
// meant for the user.
class AutomationError : public std::runtime_error {
 public:
  explicit AutomationError(const std::string& description) : std::runtime_error(description) {}
};

// Cell error values, numbered as the automation server numbers them (CVErr codes).
enum class CellError : std::int32_t {
  Null = 2000,   // #NULL!
  Div0 = 2007,   // #DIV/0!
  Value = 2015,  // #VALUE!
  Ref = 2023,    // #REF!
  Name = 2029,   // #NAME?
  Num = 2036,    // #NUM!
  NA = 2042,     // #N/A
  // Written by later versions (dynamic arrays, data types, linked data); the codes are the
  // CVErr numbers those versions give them.
  GettingData = 2043,  // #GETTING_DATA
  Spill = 2045,        // #SPILL!
  Connect = 2046,      // #CONNECT!
  Blocked = 2047,      // #BLOCKED!
  Unknown = 2048,      // #UNKNOWN!
  Field = 2049,        // #FIELD!
  Calc = 2050,         // #CALC!
  Busy = 2051,         // #BUSY!
};

// The text a sheet shows for an error value ("#DIV/0!"); "#ERR<code>" for an unknown code.
// One table serves both readers and every message.
std::string CellErrorText(CellError e);
// The error value for a shown text; false when the text names none.
bool CellErrorFromText(std::string_view text, CellError* out);

// What Range.Value2 holds: empty, an 8-byte float (dates too), UTF-8 text, a boolean or an
// error value.
class Variant {
 public:
  enum class Type { Empty, Number, String, Boolean, Error };

  Variant() = default;
  static Variant Number(double v) { return Variant(Storage(std::in_place_index<1>, v)); }
  static Variant String(std::string v) {
    return SharedString(std::make_shared<const std::string>(std::move(v)));
  }
  // A text held once and shared by every cell that shows it (a shared-string table's entry);
  // it equals a String of the same characters. text must not be null.
  static Variant SharedString(std::shared_ptr<const std::string> text) {
    return Variant(Storage(std::in_place_index<2>, std::move(text)));
  }
  static Variant Boolean(bool v) { return Variant(Storage(std::in_place_index<3>, v)); }
  static Variant Error(CellError v) { return Variant(Storage(std::in_place_index<4>, v)); }

  Type type() const { return static_cast<Type>(value_.index()); }
  bool IsEmpty() const { return value_.index() == 0; }
  double number() const { return std::get<1>(value_); }
  const std::string& string() const { return *std::get<2>(value_); }
  bool boolean() const { return std::get<3>(value_); }
  CellError error() const { return std::get<4>(value_); }
  // The shared text of a string value, for holders that keep it without copying.
  const std::shared_ptr<const std::string>& shared_string() const { return std::get<2>(value_); }

  // Texts compare by their characters, whoever holds them.
  friend bool operator==(const Variant& a, const Variant& b) {
    if (a.value_.index() != b.value_.index()) return false;
    if (a.value_.index() == 2) return a.string() == b.string();
    return a.value_ == b.value_;
  }

 private:
  // The text is shared, so copying a cell (Value2, a converter's copy) never copies characters.
  using Storage =
      std::variant<std::monostate, double, std::shared_ptr<const std::string>, bool, CellError>;
  explicit Variant(Storage s) : value_(std::move(s)) {}
  Storage value_;
};

class Range {
 public:
  virtual ~Range() = default;
  virtual Variant GetValue2() = 0;
  virtual void PutValue2(const Variant& value) = 0;
};

// Worksheet visibility as Worksheet.Visible reports it.
enum SheetVisibility : std::int32_t {
  xlSheetVisible = -1,
  xlSheetHidden = 0,
  xlSheetVeryHidden = 2
};

class Worksheet {
 public:
  virtual ~Worksheet() = default;
  virtual std::string GetName() = 0;
  virtual std::int32_t GetVisible() = 0;
  // One cell's A1 address ("B2", "D17"; no "$", no ranges); anything else is an automation error.
  virtual std::shared_ptr<Range> GetRange(std::string_view cell1, std::string_view cell2) = 0;
  // Prints the sheet on the named printer.
  virtual void PrintOut(std::string_view activePrinter) = 0;
};

class Worksheets {
 public:
  virtual ~Worksheets() = default;
  virtual std::int32_t GetCount() = 0;
  // 1-based position in workbook order; out of range is an automation error.
  virtual std::shared_ptr<Worksheet> GetItem(std::int32_t index) = 0;
};

class Workbook {
 public:
  virtual ~Workbook() = default;
  virtual std::shared_ptr<Worksheet> GetActiveSheet() = 0;
  virtual std::shared_ptr<Worksheets> GetWorksheets() = 0;
  // Writes the workbook to fileName, in the format it was opened in.
  virtual void SaveAs(std::string_view fileName) = 0;
  // Closes; with saveChanges the workbook is first saved to fileName (or where it came from
  // when fileName is empty).
  virtual void Close(bool saveChanges, std::string_view fileName) = 0;
};

class Workbooks {
 public:
  virtual ~Workbooks() = default;
  virtual std::shared_ptr<Workbook> Open(std::string_view path) = 0;
  // Closes every workbook of this application instance without saving.
  virtual void Close() = 0;
};

class Application {
 public:
  virtual ~Application() = default;
  virtual void PutDisplayAlerts(bool value) = 0;
  virtual std::shared_ptr<Workbooks> GetWorkbooks() = 0;
  virtual void Quit() = 0;
};

// The ProgID every run creates its server from.
inline constexpr std::string_view kSpreadsheetProgId = "Excel.Application";

// Creates a server instance registered under progId; nullptr when none is registered or its
// factory fails (the caller reports it).
using ServerFactory = std::function<std::shared_ptr<Application>()>;
std::shared_ptr<Application> CreateApplication(std::string_view progId);
// Registers (or with an empty factory, removes) the server for progId. The embedded engine
// registers itself for kSpreadsheetProgId; tests may put another in its place.
void RegisterServer(std::string_view progId, ServerFactory factory);

}  // namespace ledgerix
