// The reader of "kvo.dat": unscrambling, the '*'/'#' grammar, and the failure codes that the
// user sees as "Corrupted data file. -NN-". connect and telmio share the reader; they differ
// in a few codes, so each says which program reads.
#pragma once
#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

#include "connect/data/connection_data.h"

namespace kvo::connect {

enum class EDataReader { Connect, Telmio };

enum class EDataError {
    None,
    FileUnreadable,      // cannot open, size or read the file
    NoHeader,            // first character not '*'
    NoFirstRecord,       // end of text before the first '#'
    PhoneNoHash,         // a phone record does not start with '#'
    PhoneField,          // end of text inside phone field m_nField
    PhoneNothingAfter,   // nothing after the record's last '#'
    PhoneNoCr,           // the record's last '#' is not followed by CR
    PhoneEndAfter,       // end of text right after a phone record
    IspHeaderEnd,
    IspNoHash,
    IspField,
    IspNothingAfter,
    IspNoCr,
    IspEndAfter,
    ProfileHeaderEnd,
    ProfileNoHash,
    ProfileField,
    ProfileNothingAfter,
    ProfileNoCr,
    ProfileEndAfter,
    LineDevices,  // the step after the load (binding line devices) failed
};

inline constexpr int kPhoneFields = 19;
inline constexpr int kIspFields = 20;
inline constexpr int kProfileFields = 5;

struct CDataLoadResult {
    EDataError m_error = EDataError::None;
    int m_nField = 0;  // 1-based field number for the *Field errors
    EDataReader m_reader = EDataReader::Connect;

    bool Ok() const { return m_error == EDataError::None; }
    // "-36-01-" for a grammar error; empty otherwise.
    std::u16string Code() const;
    // What the reading program shows: "Corrupted data file. " + code, "Cannot open data
    // file!", or empty when the program shows nothing of its own (telmio at the end of the
    // modem-profile header; a failed line-device step, which reports for itself).
    std::u16string Message() const;
    // connect shows the phone-table codes -3- to -24- in a message box and the rest in its
    // status notification; telmio shows every message in a message box.
    bool InMessageBox() const;
};

// From the character after the '#' at `position`, collects up to the next '#' and leaves
// `position` on it. False when the text ends first (`field` then holds what was read).
bool ReadField(std::u16string_view text, size_t& position, std::u16string& field);

// Parses unscrambled text into `data`, appending records in file order. On failure the records
// read before the error stay.
CDataLoadResult ParseConnectionData(std::u16string_view text, EDataReader reader,
                                    CConnectionData& data);

// Scrambling is its own inverse.
void ScrambleDataFile(std::string& bytes);
// The text of unscrambled bytes: up to the first NUL, one character per byte.
std::u16string DataFileText(std::string_view plainBytes);
// Unscrambles and parses the bytes of a "kvo.dat".
CDataLoadResult ParseDataFileBytes(std::string bytes, EDataReader reader, CConnectionData& data);

// Runs after a successful parse; a false result fails the load (connect binds the handheld's
// line devices to the modem profiles here).
using DataLoadedStep = std::function<bool(CConnectionData&)>;

// Reads "kvo.dat" from the program folder (handheld path with its trailing backslash; empty
// means the installation directory).
CDataLoadResult LoadConnectionData(CConnectionData& data, EDataReader reader,
                                   std::u16string_view programDir = {},
                                   const DataLoadedStep& afterLoad = {});

inline constexpr std::u16string_view kDataFileName = u"kvo.dat";

}  // namespace kvo::connect
